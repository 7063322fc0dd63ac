#include "cli/modules_commands.h"

#include <unistd.h>

#include <climits>
#include <iostream>

#include "charts/module_info.h"
#include "cli/program.h"
#include "cli/text.h"
#include "records/catalogue.h"
#include "engine/context.h"
#include "modules/module_base.h"
#include "modules/module_json.h"
#include "util/numtext.h"

namespace kr::cli {

namespace {

std::string TotalText(const ModuleRecord& m, int slot) {
  ScoreSlot s = m.score(slot);
  return s.counts() ? FixedText(s.percent, 100) : std::string("DISABLED");
}

// A serial the user typed: it must name a Local module.
bool LocalSerial(Context& ctx, const std::string& serial) {
  if (!IsWellFormedSerial(serial)) {
    Fail("'" + serial + "' is not a module serial (0x and 32 upper-case hexadecimal digits)");
    return false;
  }
  if (!IsInDatabase(ctx, serial, Database::Local)) {
    Fail("no module " + serial + " in the Local database");
    return false;
  }
  return true;
}

// A Local module's record, read as a slot reads it (its requests on failure).
bool ReadLocal(Context& ctx, const std::string& serial, ModuleRecord& m) {
  switch (ReadModuleFile(ctx, LocalModulePath(serial), m)) {
    case ModuleRead::Ok: return true;
    case ModuleRead::OpenFailed: Fail("the module file of " + serial + " cannot be read"); return false;
    case ModuleRead::ShortFile: Fail("the module file of " + serial + " is too short"); return false;
    case ModuleRead::Invalid: Fail("the module file of " + serial + " is not a valid module"); return false;
  }
  return false;
}

int List(Context& ctx, bool server) {
  const std::vector<IndexEntry>& list = server ? ctx.modules.server : ctx.modules.local;
  if (list.empty()) {
    std::cout << (server ? "No modules in the Server database.\n" : "No modules in the Local database.\n");
    return kExitOk;
  }
  for (const IndexEntry& e : list) {
    std::string serial(e.serial());
    std::cout << serial << "  " << Shown(e.date()) << " " << Shown(e.time()) << "  " << Shown(e.userName())
              << "  " << Shown(e.cpu());
    // The totals come from the module itself, when it is here.
    ModuleRecord m;
    if (IsInDatabase(ctx, serial, Database::Local) && ReadStoredModule(ctx.dos, LocalModulePath(serial), m) ==
                                                          ModuleRead::Ok) {
      ScrambleModule(m);
      if (CheckModule(m) == ModuleValidity::Valid) {
        std::cout << "  Processor " << TotalText(m, slot::kProcessorTotal) << "  Memory "
                  << TotalText(m, slot::kMemoryTotal) << "  Hard Drive " << TotalText(m, slot::kDriveTotal) << "\n";
        continue;
      }
    }
    std::cout << "  (totals: module not in the Local database)\n";
  }
  return kExitOk;
}

int Show(Context& ctx, const std::string& serial) {
  ModuleRecord m;
  if (!LocalSerial(ctx, serial) || !ReadLocal(ctx, serial, m)) return kExitFailed;
  ModuleInformation info = ComposeModuleInformation(DescribeModule(m));
  for (const InfoLine& l : info.lines) {
    std::string label = l.label;
    label.resize(std::max<size_t>(label.size() + 1, 21), ' ');
    std::cout << label << Shown(l.text) << "\n";
  }
  std::cout << "Comment:\n" << Shown(info.comment) << "\n";
  std::cout << "Processor total:     " << TotalText(m, slot::kProcessorTotal) << "\n"
            << "Memory total:        " << TotalText(m, slot::kMemoryTotal) << "\n"
            << "Hard Drive total:    " << TotalText(m, slot::kDriveTotal) << "\n"
            << "System total:        " << TotalText(m, slot::kSystemTotal) << "\n";
  return kExitOk;
}

int Import(Context& ctx, const std::vector<std::string>& files) {
  std::vector<std::string> paths;
  for (const std::string& f : files) paths.push_back(AbsolutePath(f));
  int code = kExitOk;
  for (const ImportOutcome& o : ImportModules(ctx, paths)) {
    std::string name = TerminalText(o.path);
    switch (o.kind) {
      case ImportOutcome::Imported: std::cout << "Imported " << o.serial << " from " << name << "\n"; break;
      case ImportOutcome::WrongLength: Fail(o.path + ": not 9504 bytes long, not imported"); break;
      case ImportOutcome::Unreadable: Fail(o.path + ": cannot be read, not imported"); break;
      case ImportOutcome::Invalid: Fail(o.path + ": not a valid module, not imported"); break;
      case ImportOutcome::Duplicate: Fail(o.path + ": module " + o.serial + " is already in the Local database"); break;
      case ImportOutcome::WriteFailed:
        Fail(o.path + ": the module file could not be written to the Local database, not imported");
        break;
    }
    if (o.kind != ImportOutcome::Imported) code = kExitFailed;
    if (!o.indexSaved) {
      Fail("the Local index could not be saved");
      code = kExitFailed;
    }
  }
  return code;
}

int Export(Context& ctx, const std::string& serial, const std::string& file) {
  if (!LocalSerial(ctx, serial)) return kExitFailed;
  std::string dest = AbsolutePath(file);
  switch (ExportModule(ctx, serial, dest)) {
    case ExportResult::Exported: std::cout << "Exported " << serial << " to " << TerminalText(dest) << "\n"; return kExitOk;
    case ExportResult::ReadFailed: Fail("the module file of " + serial + " cannot be read"); break;
    case ExportResult::WriteFailed: Fail(dest + " could not be written: " + ctx.dos.LastErrorReason()); break;
    case ExportResult::NotLocal:
    case ExportResult::InvalidSerial: break;  // checked above
  }
  return kExitFailed;
}

int Remove(Context& ctx, const std::string& serial) {
  if (!LocalSerial(ctx, serial)) return kExitFailed;
  switch (RemoveModule(ctx, serial)) {
    case RemoveResult::Removed: std::cout << "Removed " << serial << "\n"; return kExitOk;
    case RemoveResult::Aborted: Fail("not removed"); break;
    case RemoveResult::IndexNotSaved:
      Fail("not removed: the Local index could not be saved (" + ctx.dos.LastErrorText() +
           "); the module and its file are as they were");
      break;
    case RemoveResult::FileNotDeleted:
      Fail("removed from the Local index, but its file could not be deleted (" + ctx.dos.LastErrorText() + ")");
      break;
    case RemoveResult::NotLocal:
    case RemoveResult::InvalidSerial: break;  // checked above
  }
  return kExitFailed;
}

int ExportJson(Context& ctx, const std::string& which, const std::string& file) {
  std::vector<std::string> serials;
  if (which == "--all") {
    for (const IndexEntry& e : ctx.modules.local) serials.emplace_back(e.serial());
  } else {
    if (!LocalSerial(ctx, which)) return kExitFailed;
    serials.push_back(which);
  }
  std::vector<ModuleRecord> modules;
  for (const std::string& s : serials) {
    ModuleRecord m;
    if (!ReadLocal(ctx, s, m)) return kExitFailed;
    modules.push_back(m);
  }
  std::string json = ModulesJson(modules);
  if (file.empty()) {
    std::cout << json;
    return kExitOk;
  }
  std::string dest = AbsolutePath(file);
  if (!ctx.dos.WriteFileAtomic(dest, json.data(), json.size())) {
    Fail(dest + " could not be written: " + ctx.dos.LastErrorReason());
    return kExitFailed;
  }
  std::cout << "Wrote " << modules.size() << (modules.size() == 1 ? " module to " : " modules to ")
            << TerminalText(dest) << "\n";
  return kExitOk;
}

}  // namespace

std::string CheckModulesCommand(const std::vector<std::string>& w) {
  std::string sub = w.size() >= 2 ? w[1] : "";
  size_t n = w.size();
  if (sub == "list" && (n == 2 || (n == 3 && w[2] == "--server"))) return {};
  if (sub == "show" && n == 3) return {};
  if (sub == "import" && n >= 3) return {};
  if (sub == "export" && n == 4) return {};
  if (sub == "remove" && n == 3) return {};
  if (sub == "export-json" && (n == 3 || n == 4)) return {};
  return "modules takes list [--server], show SERIAL, import FILE..., export SERIAL FILE, remove SERIAL, "
         "export-json SERIAL|--all [FILE], info SERIAL, fetch-list, download SERIAL or upload SERIAL";
}

int ModulesCommand(Context& ctx, const std::vector<std::string>& w) {
  const std::string& sub = w[1];
  if (sub == "list") return List(ctx, w.size() == 3);
  if (sub == "show") return Show(ctx, w[2]);
  if (sub == "import") return Import(ctx, {w.begin() + 2, w.end()});
  if (sub == "export") return Export(ctx, w[2], w[3]);
  if (sub == "remove") return Remove(ctx, w[2]);
  return ExportJson(ctx, w[2], w.size() == 4 ? w[3] : std::string());
}

}  // namespace kr::cli
