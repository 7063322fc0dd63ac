#include "modules/module_base.h"

#include <algorithm>
#include <cstring>

#include "engine/context.h"

namespace kr {

namespace {

constexpr std::string_view kWarningTitle = "\x1b" "bWARNING\x1b" "n";
constexpr std::string_view kModuleExt = ".dbe";

std::vector<IndexEntry>& List(Context& ctx, Database which) {
  return which == Database::Local ? ctx.modules.local : ctx.modules.server;
}
const std::vector<IndexEntry>& List(const Context& ctx, Database which) {
  return which == Database::Local ? ctx.modules.local : ctx.modules.server;
}

// dos.library FilePart: the part after the last "/" or ":".
std::string_view FilePart(std::string_view path) {
  size_t cut = path.find_last_of("/:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// The drawer of a chosen file (empty: the current directory).
std::string Drawer(std::string_view path) {
  size_t cut = path.find_last_of("/:");
  if (cut == std::string_view::npos) return {};
  return std::string(path.substr(0, path[cut] == ':' ? cut + 1 : cut));
}

size_t SlotField(size_t base, int slot) { return base + disp::kSlotWidth * size_t(slot - 1); }

void ClearField(DisplayRecord& d, size_t offset) { std::memset(d.data() + offset, 0, disp::kSlotWidth); }

bool ReadModuleBytes(Dos& dos, std::string_view path, ModuleRecord& out) {
  return ReadStoredModule(dos, path, out) == ModuleRead::Ok;
}

void EmptySlot(Context& ctx, int slot) {
  ctx.compare[size_t(slot - 1)].Clear();
  ctx.modules.slotLoaded[size_t(slot - 1)] = 0;
}

}  // namespace

std::string LocalModulePath(std::string_view serial) {
  if (!IsWellFormedSerial(serial)) return {};
  return std::string(db::kLocalDir) + std::string(serial) + std::string(kModuleExt);
}

bool LoadIndex(Context& ctx, Database which, int* skipped) {
  bool opened = false;
  const std::string_view path = which == Database::Local ? db::kLocalIndex : db::kServerIndex;
  IndexRead r = ReadIndexFile(ctx.dos, path, opened);
  if (skipped) *skipped = r.skipped;
  std::string& error = which == Database::Local ? ctx.modules.localError : ctx.modules.serverError;
  error.clear();
  if (!r.error.empty()) {
    error = r.error.find(ctx.dos.HostPath(path)) == std::string::npos ? ctx.dos.HostPath(path) + ": " + r.error
                                                                      : r.error;
    return false;
  }
  if (!opened) return false;
  std::vector<IndexEntry>& list = List(ctx, which);
  list.insert(list.end(), r.entries.begin(), r.entries.end());
  return true;
}

bool SaveLocalIndex(Context& ctx) {
  // An index that could not be read is never replaced: it still lists the
  // modules this list does not know.
  if (!ctx.modules.localError.empty()) return false;
  std::vector<uint8_t> bytes = IndexBytes(ctx.modules.local);
  return ctx.dos.WriteFileAtomic(db::kLocalIndex, bytes.data(), bytes.size());
}

void ClearServerList(Context& ctx) { ctx.modules.server.clear(); }

bool IsInDatabase(const Context& ctx, std::string_view serial, Database which) {
  const std::vector<IndexEntry>& list = List(ctx, which);
  return std::any_of(list.begin(), list.end(), [&](const IndexEntry& e) { return e.serial() == serial; });
}

const IndexEntry* FindLocal(const Context& ctx, std::string_view serial) {
  for (const IndexEntry& e : ctx.modules.local)
    if (e.serial() == serial) return &e;
  return nullptr;
}

void AssignDisplayPositions(std::vector<IndexEntry>& list) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].position() == -1) list[i].setPosition(int32_t(i));
}

AddResult AddModuleToLocal(Context& ctx, const ModuleRecord& record) {
  // The validity test also makes sure the serial can name a file.
  if (!ValidateModule(ctx, record)) return AddResult::Invalid;
  // Nothing is filed into a database whose index could not be read.
  if (!ctx.modules.localError.empty()) return AddResult::WriteFailed;
  IndexEntry entry = MakeIndexEntry(record);
  if (IsInDatabase(ctx, entry.serial(), Database::Local)) {
    ctx.requester.Request(kErrorTitle, "Module is already 'Local'...", "Ok");
    return AddResult::Duplicate;
  }
  if (!WriteModuleFile(ctx, LocalModulePath(entry.serial()), record)) return AddResult::WriteFailed;
  ctx.modules.local.push_back(entry);
  return AddResult::Added;
}

FillResult FillModuleHeader(Context& ctx) {
  FillModuleDescription(ctx, ctx.results);
  FillResult r;
  r.add = AddModuleToLocal(ctx, ctx.results);
  r.indexSaved = SaveLocalIndex(ctx);
  return r;
}

std::vector<ImportOutcome> ImportModules(Context& ctx, const std::vector<std::string>& files) {
  std::vector<ImportOutcome> out;
  for (const std::string& path : files) {
    ImportOutcome o;
    o.path = path;
    if (ctx.dos.FileSize(path) != int64_t(mod::kFileSize)) {
      ctx.requester.Request(kErrorTitle, "Wrong module-length!", "Ok");
      o.kind = ImportOutcome::WrongLength;
      out.push_back(o);
      continue;
    }
    ModuleRecord m;
    if (!ReadModuleBytes(ctx.dos, path, m)) {
      o.kind = ImportOutcome::Unreadable;
      out.push_back(o);
      continue;
    }
    ScrambleModule(m);
    o.serial = std::string(ModuleSerial(m));
    switch (AddModuleToLocal(ctx, m)) {
      case AddResult::Added: o.kind = ImportOutcome::Imported; break;
      case AddResult::Invalid: o.kind = ImportOutcome::Invalid; break;
      case AddResult::Duplicate: o.kind = ImportOutcome::Duplicate; break;
      case AddResult::WriteFailed: o.kind = ImportOutcome::WriteFailed; break;
    }
    o.indexSaved = SaveLocalIndex(ctx);
    ctx.modules.importDrawer = Drawer(path);
    out.push_back(o);
  }
  return out;
}

ExportResult ExportModule(Context& ctx, std::string_view serial, std::string_view destination) {
  std::string path = LocalModulePath(serial);
  if (path.empty()) {
    ShowNotValid(ctx);
    return ExportResult::InvalidSerial;
  }
  if (!IsInDatabase(ctx, serial, Database::Local)) return ExportResult::NotLocal;
  ModuleRecord bytes;  // the file as it is stored, scrambled
  if (!ReadModuleBytes(ctx.dos, path, bytes)) return ExportResult::ReadFailed;
  if (!ctx.dos.WriteFileAtomic(destination, bytes.data(), mod::kFileSize)) return ExportResult::WriteFailed;
  ctx.modules.exportDrawer = Drawer(destination);
  return ExportResult::Exported;
}

RemoveResult RemoveModule(Context& ctx, std::string_view serial) {
  std::string path = LocalModulePath(serial);
  if (path.empty()) {
    ShowNotValid(ctx);
    return RemoveResult::InvalidSerial;
  }
  if (!IsInDatabase(ctx, serial, Database::Local)) return RemoveResult::NotLocal;
  if (!IsInDatabase(ctx, serial, Database::Server)) {
    int answer = ctx.requester.Request(
        kWarningTitle,
        "It seems there is no copy of the module you want to remove on the server.\n\nMaybe you should "
        "\x1b" "b'Upload'\x1b" "n first?!",
        "Remove|Abort");
    if (answer != 0) return RemoveResult::Aborted;
  }
  std::string key(serial);  // serial may point into the entry removed next
  // The index is saved without the entry first, and only then is the file
  // deleted: a failure leaves either the module as it was or an index that
  // no longer lists it, never an entry without its file.
  const std::vector<IndexEntry> before = ctx.modules.local;
  std::erase_if(ctx.modules.local, [&](const IndexEntry& e) { return e.serial() == key; });
  if (!SaveLocalIndex(ctx)) {
    ctx.modules.local = before;
    return RemoveResult::IndexNotSaved;
  }
  const bool deleted = ctx.dos.DeleteFile(path);

  std::string fileName = key + std::string(kModuleExt);
  for (int slot = 1; slot <= 4; ++slot) {
    if (FilePart(ctx.display.slotPath(slot - 1)) != fileName) continue;
    ClearField(ctx.display, SlotField(disp::kSlotPath, slot));
    ctx.display.bytes[SlotField(disp::kSlotName, slot)] = 0;
  }
  ReloadSlots(ctx);
  return deleted ? RemoveResult::Removed : RemoveResult::FileNotDeleted;
}

ModuleRead LoadModuleIntoSlot(Context& ctx, int slot, std::string_view serial) {
  if (slot < 1 || slot > 4) return ModuleRead::Invalid;
  EmptySlot(ctx, slot);
  std::string path = LocalModulePath(serial);
  if (path.empty()) {
    ShowNotValid(ctx);
    return ModuleRead::Invalid;
  }
  ModuleRead r = ReadModuleFile(ctx, path, ctx.compare[size_t(slot - 1)]);
  switch (r) {
    case ModuleRead::Ok: {
      size_t field = SlotField(disp::kSlotPath, slot);
      ClearField(ctx.display, field);
      ctx.display.set_text(field, disp::kSlotWidth, path);
      ctx.modules.slotLoaded[size_t(slot - 1)] = slot;
      break;
    }
    case ModuleRead::OpenFailed:
      ctx.requester.Request(kErrorTitle, "Can't load module from disk.\n\nThe database seems corrupt!", "Damn");
      break;
    case ModuleRead::ShortFile: ctx.requester.Request(kErrorTitle, "Invalid module length!", "Ok"); break;
    case ModuleRead::Invalid: break;  // the validity test showed its requester
  }
  return r;
}

ModuleRead ChooseSlotModule(Context& ctx, int slot, const IndexEntry& entry) {
  if (slot < 1 || slot > 4) return ModuleRead::Invalid;
  std::string label = std::string(entry.realName()) + " (" + std::string(entry.userName()) + ")";
  if (label.size() > 127) label.resize(127);  // built in a 128-byte buffer
  size_t field = SlotField(disp::kSlotName, slot);
  ClearField(ctx.display, field);
  ctx.display.set_text(field, disp::kSlotWidth, label);
  std::string serial(entry.serial());
  return LoadModuleIntoSlot(ctx, slot, serial);
}

void ReloadSlots(Context& ctx) {
  for (int slot = 1; slot <= 4; ++slot) {
    std::string_view path = ctx.display.slotPath(slot - 1);
    if (path.empty()) {
      EmptySlot(ctx, slot);
      continue;
    }
    std::string_view name = FilePart(path);
    if (name.size() > kModuleExt.size() && name.ends_with(kModuleExt)) name.remove_suffix(kModuleExt.size());
    std::string serial(name);
    LoadModuleIntoSlot(ctx, slot, serial);
  }
}

}  // namespace kr
