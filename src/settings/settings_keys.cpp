#include "settings/settings_keys.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <functional>

#include "records/catalogue.h"
#include "settings/config_files.h"
#include "util/latin1.h"
#include "settings/settings_form.h"
#include "sysinfo/hardware_tables.h"

namespace kr {
namespace {

// What a key edits: the settings pages and a display record.
struct Target {
  SettingsForm& form;
  DisplayRecord& display;
};

enum class Kind { Bool, Int, Text, Pen };

struct KeyDef {
  std::string name;
  std::string alias;  // the test's number form ("processor.2.enabled"), accepted by set
  Kind kind = Kind::Int;
  Range range{0, 0};
  size_t limit = 0;                 // texts: most bytes (Latin-1)
  bool hostPath = false;            // texts: a host path, its bytes as the file system has them
  std::vector<const char*> names;   // ints: accepted names of 0, 1, ...
  bool display = false;
  bool readOnly = false;
  std::function<int32_t(Target&)> getInt;
  std::function<void(Target&, int32_t)> setInt;
  std::function<std::string(Target&)> getText;
  std::function<void(Target&, const std::string&)> setText;
};

KeyDef BoolKey(std::string name, std::function<bool&(Target&)> ref) {
  KeyDef k;
  k.name = std::move(name);
  k.kind = Kind::Bool;
  k.range = {0, 1};
  k.getInt = [ref](Target& t) { return int32_t(ref(t)); };
  k.setInt = [ref](Target& t, int32_t v) { ref(t) = v != 0; };
  return k;
}

KeyDef IntKey(std::string name, Range range, std::function<int32_t&(Target&)> ref,
              std::vector<const char*> names = {}) {
  KeyDef k;
  k.name = std::move(name);
  k.kind = Kind::Int;
  k.range = range;
  k.names = std::move(names);
  k.getInt = [ref](Target& t) { return ref(t); };
  k.setInt = [ref](Target& t, int32_t v) { ref(t) = v; };
  return k;
}

KeyDef TextKey(std::string name, size_t limit, std::function<std::string&(Target&)> ref) {
  KeyDef k;
  k.name = std::move(name);
  k.kind = Kind::Text;
  k.limit = limit;
  k.getText = [ref](Target& t) { return ref(t); };
  k.setText = [ref](Target& t, const std::string& v) { ref(t) = v; };
  return k;
}

KeyDef DisplayIntKey(std::string name, size_t off, Range range, bool readOnly, std::vector<const char*> names = {}) {
  KeyDef k;
  k.name = std::move(name);
  k.kind = Kind::Int;
  k.range = range;
  k.names = std::move(names);
  k.display = true;
  k.readOnly = readOnly;
  k.getInt = [off](Target& t) { return t.display.s32(off); };
  k.setInt = [off](Target& t, int32_t v) { t.display.set_s32(off, v); };
  return k;
}

KeyDef DisplayTextKey(std::string name, size_t off) {
  KeyDef k;
  k.name = std::move(name);
  k.kind = Kind::Text;
  k.limit = disp::kSlotWidth - 1;
  k.display = true;
  k.readOnly = true;  // the module base fills the comparison slots
  k.getText = [off](Target& t) { return std::string(t.display.text(off, disp::kSlotWidth)); };
  return k;
}

// The drive page's keys name a switch, cache index or sweep by the key word
// of its test; the file-system group's switch is "filesystem".
std::string DriveSwitchKey(int s) {
  const CatalogueEntry* e = DriveEntryOfSwitch(s);
  return e ? e->key : "filesystem";
}
constexpr const char* kHardwareNames[4] = {"mainmodel", "busboard", "accelerator", "controller"};

std::vector<KeyDef> BuildKeys() {
  std::vector<KeyDef> keys;
  using T = Target;
  // General page.
  keys.push_back(TextKey("general.username", limit::kName, [](T& t) -> std::string& { return t.form.userName; }));
  keys.push_back(TextKey("general.realname", limit::kName, [](T& t) -> std::string& { return t.form.realName; }));
  keys.push_back(TextKey("general.location", limit::kName, [](T& t) -> std::string& { return t.form.location; }));
  keys.push_back(TextKey("general.email", limit::kEmail, [](T& t) -> std::string& { return t.form.email; }));
  keys.push_back(TextKey("general.smtpserver", limit::kSmtp, [](T& t) -> std::string& { return t.form.smtpServer; }));
  keys.push_back(IntKey("general.smtpport", kSmtpPortRange, [](T& t) -> int32_t& { return t.form.smtpPort; }));
  keys.push_back(TextKey("general.homepage", limit::kPath, [](T& t) -> std::string& { return t.form.homepage; }));
  keys.push_back(BoolKey("general.report", [](T& t) -> bool& { return t.form.reportEnabled; }));
  keys.push_back(TextKey("general.reportfile", limit::kPath, [](T& t) -> std::string& { return t.form.reportFile; }));
  keys.push_back(BoolKey("general.errorlog", [](T& t) -> bool& { return t.form.errorLogEnabled; }));
  keys.push_back(
      TextKey("general.errorlogoutput", limit::kPath, [](T& t) -> std::string& { return t.form.errorLogOutput; }));
  keys.push_back(BoolKey("general.appenderrorlog", [](T& t) -> bool& { return t.form.appendErrorLog; }));
  keys.push_back(BoolKey("general.flushresults", [](T& t) -> bool& { return t.form.flushResults; }));
  keys.push_back(BoolKey("general.saveatexit", [](T& t) -> bool& { return t.form.saveAtExit; }));
  keys.push_back(TextKey("general.comment", limit::kComment, [](T& t) -> std::string& { return t.form.comment; }));
  // Hardware.
  for (size_t g = 0; g < 4; ++g) {
    std::string base = std::string("hardware.") + kHardwareNames[g];
    keys.push_back(IntKey(base + ".vendor", {0, kOtherVendorIndex[g]},
                          [g](T& t) -> int32_t& { return t.form.hardware[g].vendor; }));
    // The model's range depends on the vendor: checked after all assignments.
    keys.push_back(IntKey(base + ".model", {0, 0x7FFFFFFF}, [g](T& t) -> int32_t& { return t.form.hardware[g].model; }));
    keys.push_back(TextKey(base + ".other", limit::kOther, [g](T& t) -> std::string& { return t.form.hardware[g].other; }));
  }
  keys.push_back(BoolKey("hardware.overclocked", [](T& t) -> bool& { return t.form.overclocked; }));
  // Test pages: keys named after the test ("processor.dhrystones.enabled"),
  // with the test's number as an alias ("processor.2.enabled").
  auto testKey = [&keys](const char* page, const CatalogueEntry& e, int number, const char* field, KeyDef k) {
    k.name = std::string(page) + "." + e.key + "." + field;
    k.alias = std::string(page) + "." + std::to_string(number) + "." + field;
    keys.push_back(std::move(k));
  };
  // Processor page.
  for (size_t k = 1; k <= 10; ++k) {
    const CatalogueEntry& e = ProcessorEntry(int(k));
    testKey("processor", e, int(k), "enabled", BoolKey({}, [k](T& t) -> bool& { return t.form.procEnabled[k]; }));
    testKey("processor", e, int(k), "cache", BoolKey({}, [k](T& t) -> bool& { return t.form.procCache[k]; }));
    testKey("processor", e, int(k), "multitasking",
            BoolKey({}, [k](T& t) -> bool& { return t.form.procMultitasking[k]; }));
  }
  // Memory page.
  for (size_t p = 0; p < 24; ++p) {
    const CatalogueEntry& e = MemoryEntry(int(p));
    testKey("memory", e, int(p), "enabled", BoolKey({}, [p](T& t) -> bool& { return t.form.memEnabled[p]; }));
    testKey("memory", e, int(p), "cache", BoolKey({}, [p](T& t) -> bool& { return t.form.memCache[p]; }));
    testKey("memory", e, int(p), "multitasking",
            BoolKey({}, [p](T& t) -> bool& { return t.form.memMultitasking[p]; }));
    testKey("memory", e, int(p), "loopsize",
            IntKey({}, MemLoopSizeRange(int(p)), [p](T& t) -> int32_t& { return t.form.memLoopSize[p]; }));
    testKey("memory", e, int(p), "start",
            IntKey({}, MemSweepRange(int(p)), [p](T& t) -> int32_t& { return t.form.memSweepStart[p]; }));
    testKey("memory", e, int(p), "stop",
            IntKey({}, MemSweepRange(int(p)), [p](T& t) -> int32_t& { return t.form.memSweepStop[p]; }));
  }
  // Hard Disk page.
  for (size_t i = 0; i < drive_switch::kCount; ++i)
    keys.push_back(BoolKey("drive.enabled." + DriveSwitchKey(int(i)),
                           [i](T& t) -> bool& { return t.form.driveEnabled[i]; }));
  for (size_t i = 0; i < 18; ++i)
    keys.push_back(BoolKey(std::string("drive.cache.") + DriveEntryOfCache(int(i))->key,
                           [i](T& t) -> bool& { return t.form.driveCache[i]; }));
  keys.push_back(IntKey("drive.count.files", kDriveFilesRange, [](T& t) -> int32_t& { return t.form.driveCount[0]; }));
  for (size_t i = 0; i < 4; ++i)
    keys.push_back(IntKey(std::string("drive.count.") + DriveEntryOfSweep(int(i))->key, kDriveLoopSizeRange,
                          [i](T& t) -> int32_t& { return t.form.driveCount[i + 1]; }));
  for (size_t i = 0; i < 4; ++i)
    keys.push_back(IntKey(std::string("drive.start.") + DriveEntryOfSweep(int(i))->key, DriveSweepRange(int(i)),
                          [i](T& t) -> int32_t& { return t.form.driveSweepStart[i]; }));
  for (size_t i = 0; i < 4; ++i)
    keys.push_back(IntKey(std::string("drive.stop.") + DriveEntryOfSweep(int(i))->key, DriveSweepRange(int(i)),
                          [i](T& t) -> int32_t& { return t.form.driveSweepStop[i]; }));
  keys.push_back(IntKey("drive.accessmode", {0, 1}, [](T& t) -> int32_t& { return t.form.accessMode; },
                        {"Direct-SCSI", "NSD-64"}));
  keys.push_back(TextKey("drive.partition", limit::kPartition, [](T& t) -> std::string& { return t.form.partition; }));
  keys.back().hostPath = true;
  // Display record.
  keys.push_back(DisplayIntKey("display.drawmode", disp::kDrawMode, {0, 1}, false, {"Blocks", "B-Splines"}));
  keys.push_back(DisplayIntKey("display.showmode", disp::kShowMode, {0, 1}, false, {"Absolute", "Relative"}));
  keys.push_back(DisplayIntKey("display.splinemode", disp::kSplineMode, {0, 1}, false, {"Cover", "Side by side"}));
  keys.push_back(DisplayIntKey("display.optiona", disp::kOptionA, {0, 0}, true));
  keys.push_back(DisplayIntKey("display.optionb", disp::kOptionB, {0, 0}, true));
  keys.push_back(DisplayIntKey("display.master", disp::kMasterSection, {0, 3}, false,
                               {"KelvaRANKS", "Processor", "Memory", "Hard Disk"}));
  keys.push_back(DisplayIntKey("display.slave", disp::kSlaveSection, {0, 23}, false));
  keys.push_back(DisplayIntKey("display.finescale", disp::kFineScale, {1, 100}, false));
  keys.push_back(DisplayIntKey("display.roughscale", disp::kRoughScale, {1, 100}, false));
  for (size_t s = 0; s < 4; ++s) {
    KeyDef k = DisplayIntKey("display.show." + std::to_string(s + 1), disp::kShowModule + 4 * s, {0, 1}, false);
    k.kind = Kind::Bool;
    keys.push_back(std::move(k));
  }
  for (size_t s = 0; s < 4; ++s) {
    keys.push_back(DisplayTextKey("display.slot." + std::to_string(s + 1) + ".name", disp::kSlotName + disp::kSlotWidth * s));
    keys.push_back(DisplayTextKey("display.slot." + std::to_string(s + 1) + ".path", disp::kSlotPath + disp::kSlotWidth * s));
  }
  for (size_t p = 0; p < disp::kPenCount; ++p) {
    KeyDef k;
    k.name = "display.pen." + std::to_string(p);
    k.kind = Kind::Pen;
    k.display = true;
    k.getText = [p](T& t) { return std::string(t.display.penText(int(p))); };
    k.setText = [p](T& t, const std::string& v) {
      t.display.pens[p] = PenText{};
      PutText(t.display.pens[p].data(), disp::kPenWidth, v);
    };
    keys.push_back(std::move(k));
  }
  return keys;
}

// Latin-1 texts in a value: a backslash is "\\", a line break "\n", a tab
// "\t", ESC "\e" and every other control character (C0, DEL, C1) "\xHH", so
// a value never carries a control character to the terminal and every
// listed value sets back to the same bytes.
bool IsControl(unsigned char c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string EscapeText(std::string_view s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == 0x1B) out += "\\e";
    else if (IsControl(c)) out.append("\\x").append(1, kHex[c >> 4]).append(1, kHex[c & 15]);
    else out += ch;
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool UnescapeText(std::string_view s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (i + 1 >= s.size()) return false;
    char n = s[++i];
    if (n == 'n') out += '\n';
    else if (n == 't') out += '\t';
    else if (n == 'e') out += '\x1b';
    else if (n == '\\') out += '\\';
    else if (n == 'x' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += char(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string StripEscapes(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\x1b') {
      ++i;  // the code letter after ESC
      continue;
    }
    out += s[i];
  }
  return out;
}

const KeyDef* FindKey(const std::vector<KeyDef>& keys, std::string_view name) {
  std::string lower = Lower(name);
  for (const KeyDef& k : keys)
    if (k.name == lower || (!k.alias.empty() && k.alias == lower)) return &k;
  return nullptr;
}

const std::vector<KeyDef>& Keys() {
  static const std::vector<KeyDef> keys = BuildKeys();
  return keys;
}

// The form of one assignment and its key; the key or null with the message.
const KeyDef* CheckAssignment(const std::string& a, std::string& error) {
  size_t eq = a.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "'" + a + "' is not KEY=VALUE";
    return nullptr;
  }
  std::string_view key(a.data(), eq);
  const KeyDef* k = FindKey(Keys(), key);
  if (k == nullptr) {
    error = "unknown key '" + std::string(key) + "' (\"settings show\" lists the keys)";
    return nullptr;
  }
  if (k->readOnly) {
    error = k->name + " cannot be set";
    return nullptr;
  }
  return k;
}

std::string RangeText(Range r) { return std::to_string(r.min) + ".." + std::to_string(r.max); }

// Parses and stores one value; false with a message when it does not fit.
bool SetValue(const KeyDef& k, std::string_view value, Target& t, std::string& error) {
  std::string v(value);
  switch (k.kind) {
    case Kind::Bool: {
      std::string l = Lower(v);
      int32_t b;
      if (l == "1" || l == "on" || l == "yes" || l == "true") b = 1;
      else if (l == "0" || l == "off" || l == "no" || l == "false") b = 0;
      else {
        error = k.name + ": '" + v + "' is not on or off (use 1/0, on/off, yes/no, true/false)";
        return false;
      }
      k.setInt(t, b);
      return true;
    }
    case Kind::Int: {
      for (size_t i = 0; i < k.names.size(); ++i)
        if (Lower(v) == Lower(k.names[i])) {
          k.setInt(t, int32_t(i));
          return true;
        }
      int64_t n = 0;
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
      if (v.empty() || ec != std::errc() || end != v.data() + v.size()) {
        error = k.name + ": '" + v + "' is not a number";
        return false;
      }
      if (n < k.range.min || n > k.range.max) {
        error = k.name + ": " + v + " is out of range " + RangeText(k.range);
        return false;
      }
      k.setInt(t, int32_t(n));
      return true;
    }
    case Kind::Text: {
      if (k.hostPath) {
        // A folder of the host: the bytes as given (no Latin-1), for the
        // file system names it by them.
        if (std::string why = HostPathProblem(v, k.limit); !why.empty()) {
          error = k.name + ": " + why;
          return false;
        }
        k.setText(t, v);
        return true;
      }
      // The escapes are ASCII: convert first, so "\xHH" stands for a Latin-1 byte.
      std::string latin1, raw;
      if (!Utf8ToLatin1(v, raw)) {
        error = k.name + ": the text holds a character that ISO 8859-1 cannot store";
        return false;
      }
      if (!UnescapeText(raw, latin1)) {
        error = k.name + ": a backslash must be followed by n, t, e, xHH or another backslash";
        return false;
      }
      if (latin1.find('\0') != std::string::npos) {
        error = k.name + ": the text holds a NUL byte";
        return false;
      }
      if (latin1.size() > k.limit) {
        error = k.name + ": the text is " + std::to_string(latin1.size()) + " bytes long, at most " +
                std::to_string(k.limit) + " are allowed";
        return false;
      }
      k.setText(t, latin1);
      return true;
    }
    case Kind::Pen: {
      std::string pen = v;
      if (pen.size() == 7 && pen[0] == '#') {  // #RRGGBB, each byte widened to 32 bits
        uint32_t rgb = 0;
        auto [end, ec] = std::from_chars(pen.data() + 1, pen.data() + 7, rgb, 16);
        if (ec == std::errc() && end == pen.data() + 7) {
          auto wide = [](uint32_t byte) { return byte * 0x01010101u; };
          pen = std::string(GetText(RgbPenText(wide(rgb >> 16), wide((rgb >> 8) & 0xFF), wide(rgb & 0xFF)).data(),
                                    disp::kPenWidth));
        }
      }
      PenColor c;
      if (!ParsePenText(pen, c)) {
        error = k.name + ": '" + v + "' is not a colour (rRRRRRRRR,GGGGGGGG,BBBBBBBB, mN or #RRGGBB)";
        return false;
      }
      k.setText(t, pen);
      return true;
    }
  }
  return false;
}

std::string ValueText(const KeyDef& k, Target& t) {
  switch (k.kind) {
    case Kind::Bool:
    case Kind::Int: return std::to_string(k.getInt(t));
    case Kind::Text: return k.hostPath ? k.getText(t) : Latin1ToUtf8(EscapeText(k.getText(t)));
    case Kind::Pen: return k.getText(t);
  }
  return {};
}

// Validates and copies the pages into a record, saves, and commits to ctx
// only when everything worked.
// Only the records that were edited are validated and saved: a change of
// the chart options alone does not depend on the settings pages passing.
bool CommitForm(Context& ctx, SettingsForm& form, bool settingsChanged, const DisplayRecord& display,
                bool displayChanged, std::string& error) {
  SettingsError err;
  if (settingsChanged && !ValidateSettingsForm(form, err)) {
    error = StripEscapes(err.title) + ": " + Latin1ToUtf8(StripEscapes(err.text));
    return false;
  }
  const SettingsRecord oldSettings = ctx.settings;
  const SettingsForm oldForm = ctx.form;
  const DisplayRecord oldDisplay = ctx.display;
  std::string_view failed;
  if (settingsChanged) {
    CopyFormToSettings(form, ctx.settings);
    ctx.form = form;
    if (!SaveConfig(ctx)) failed = kConfigFile;
  }
  if (failed.empty() && displayChanged) {
    ctx.display = display;
    if (!SaveDefaults(ctx)) {
      failed = kDefaultsFile;
      if (settingsChanged) {  // put the settings file back as it was
        ctx.settings = oldSettings;
        SaveConfig(ctx);
      }
    }
  }
  if (!failed.empty()) {
    ctx.settings = oldSettings;
    ctx.form = oldForm;
    ctx.display = oldDisplay;
    error = "could not save the settings into " + ctx.dos.HostPath(failed);
    return false;
  }
  return true;
}

// A model index must name a model of the chosen vendor.
bool CheckModels(const SettingsForm& form, std::string& error) {
  for (size_t g = 0; g < 4; ++g) {
    const HardwareChoice& h = form.hardware[g];
    int count = ModelCount(int(g), h.vendor);
    if (h.model < 0 || (count > 0 && h.model >= count)) {
      error = std::string("hardware.") + kHardwareNames[g] + ".model: " + std::to_string(h.model) +
              " is out of range 0.." + std::to_string(count - 1) + " for vendor " + std::to_string(h.vendor);
      return false;
    }
  }
  return true;
}

constexpr std::string_view kScopes[] = {"general", "processor", "memory", "drive", "tests", "all", "display"};

}  // namespace

std::string CheckAssignmentForms(const std::vector<std::string>& assignments) {
  std::string error;
  for (const std::string& a : assignments)
    if (CheckAssignment(a, error) == nullptr) return error;
  return {};
}

std::string CheckResetScope(std::string_view scope) {
  std::string s = Lower(scope);
  for (std::string_view k : kScopes)
    if (s == k) return {};
  return "unknown scope '" + std::string(scope) + "' (general, processor, memory, drive, tests, all, display)";
}

std::vector<std::pair<std::string, std::string>> ListSettings(const Context& ctx) {
  SettingsForm form;
  FormFromSettings(ctx.settings, form);
  DisplayRecord display = ctx.display;
  Target t{form, display};
  std::vector<std::pair<std::string, std::string>> out;
  for (const KeyDef& k : Keys()) out.emplace_back(k.name, ValueText(k, t));
  return out;
}

bool ApplySettings(Context& ctx, const std::vector<std::string>& assignments, std::string& error) {
  SettingsForm form;
  FormFromSettings(ctx.settings, form);
  DisplayRecord display = ctx.display;
  Target t{form, display};
  bool displayChanged = false, settingsChanged = false;
  std::array<bool, 4> vendorSet{}, modelSet{};
  for (const std::string& a : assignments) {
    const KeyDef* k = CheckAssignment(a, error);
    if (k == nullptr) return false;
    if (!SetValue(*k, std::string_view(a).substr(a.find('=') + 1), t, error)) return false;
    displayChanged = displayChanged || k->display;
    settingsChanged = settingsChanged || !k->display;
    for (size_t g = 0; g < 4; ++g) {
      std::string base = std::string("hardware.") + kHardwareNames[g];
      if (k->name == base + ".vendor") vendorSet[g] = true;
      if (k->name == base + ".model") modelSet[g] = true;
    }
  }
  // A new vendor without a model given starts at its first model.
  for (size_t g = 0; g < 4; ++g)
    if (vendorSet[g] && !modelSet[g]) form.hardware[g].model = 0;
  if (settingsChanged && !CheckModels(form, error)) return false;
  return CommitForm(ctx, form, settingsChanged, display, displayChanged, error);
}

bool ResetSettingsScope(Context& ctx, std::string_view scope, std::string& error) {
  std::string s = Lower(scope);
  bool chipOff = ctx.run.amithlon != 0 || ctx.run.noChipMemory != 0;
  if (s == "display") {
    DisplayRecord old = ctx.display;
    ResetDisplaySettings(ctx);
    if (!SaveDefaults(ctx)) {
      ctx.display = old;
      error = "could not save the chart settings into " + ctx.dos.HostPath(kDefaultsFile);
      return false;
    }
    return true;
  }
  if (s == "general") {
    // The profile, hardware, report, error-log and drive-access fields back
    // to their built-in values; the test pages keep theirs.
    SettingsRecord old = ctx.settings;
    SettingsForm oldForm = ctx.form;
    SettingsRecord defaults;
    SetBuiltinDefaults(defaults);
    std::copy(defaults.bytes.begin(), defaults.bytes.begin() + cfg::kGeneralSize, ctx.settings.bytes.begin());
    ctx.settings.longComment.clear();
    FormFromSettings(ctx.settings, ctx.form);
    if (!SaveConfig(ctx)) {
      ctx.settings = old;
      ctx.form = oldForm;
      error = "could not save the settings into " + ctx.dos.HostPath(kConfigFile);
      return false;
    }
    return true;
  }
  if (s == "all") {
    SettingsRecord old = ctx.settings;
    SettingsForm oldForm = ctx.form;
    ResetSettings(ctx, ResetScope::Everything);
    if (!SaveConfig(ctx)) {
      ctx.settings = old;
      ctx.form = oldForm;
      error = "could not save the settings into " + ctx.dos.HostPath(kConfigFile);
      return false;
    }
    return true;
  }
  ResetScope code;
  if (s == "processor") code = ResetScope::Processor;
  else if (s == "memory") code = ResetScope::Memory;
  else if (s == "drive") code = ResetScope::Drive;
  else if (s == "tests") code = ResetScope::TestPages;
  else {
    error = CheckResetScope(scope);
    return false;
  }
  SettingsForm form;
  FormFromSettings(ctx.settings, form);
  ResetForm(form, code, chipOff);
  return CommitForm(ctx, form, true, ctx.display, false, error);
}

}  // namespace kr
