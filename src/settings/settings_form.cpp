#include "settings/settings_form.h"

#include <algorithm>

#include "engine/context.h"

namespace kr {
namespace {

constexpr std::string_view kWarningTitle = "\x1b" "bWARNING\x1b" "n";
constexpr std::string_view kOk = "Ok";

constexpr std::string_view kUserNameDefault = "(Your Username)";
constexpr std::string_view kRealNameDefault = "(Your Realname)";
constexpr std::string_view kLocationDefault = "(Your Location)";
constexpr std::string_view kEmailDefault = "(Your E-Mail)";
constexpr std::string_view kSmtpDefault = "(Your SMTP Server)";
constexpr std::string_view kHomepageDefault = "(Your Homepage)";
constexpr std::string_view kReportDefault = kDefaultReportFile;
constexpr std::string_view kErrorLogDefault = kDefaultErrorLogOutput;
constexpr std::string_view kPartitionDefault = kDefaultPartition;

int32_t Clamp(int32_t v, Range r) { return std::clamp(v, r.min, r.max); }

std::string Cut(std::string_view s, size_t limit) {
  s = s.substr(0, s.find('\0'));
  return std::string(s.substr(0, std::min(s.size(), limit)));
}

bool Fail(SettingsError& err, std::string_view title, std::string text) {
  err.title = std::string(title);
  err.text = std::move(text);
  err.button = std::string(kOk);
  return false;
}

std::string Bold(std::string_view s) { return "\x1b" "b" + std::string(s) + "\x1b" "n"; }

// Checks of a personal field: empty, then the placeholder.
bool CheckPersonal(const std::string& value, std::string_view placeholder, std::string enterText,
                   std::string_view label, SettingsError& err) {
  if (value.empty()) return Fail(err, kErrorTitle, std::move(enterText));
  if (value == placeholder) return Fail(err, kErrorTitle, "Change the default in General/" + Bold(label));
  return true;
}

// One dot-separated word list of atext characters: no empty word.
bool IsDotAtom(std::string_view s) {
  static constexpr std::string_view kSpecials = "!#$%&'*+-/=?^_`{|}~";
  if (s.empty() || s.front() == '.' || s.back() == '.') return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '.') {
      if (s[i + 1] == '.') return false;
      continue;
    }
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum && kSpecials.find(c) == std::string_view::npos) return false;
  }
  return true;
}

// The drive test whose sweep entries are index i (0..3).
const CatalogueEntry& DriveSweepEntry(int i) {
  for (int d = 1; d <= kDriveTests; ++d)
    if (DriveEntry(d).driveSweep == std::clamp(i, 0, 3)) return DriveEntry(d);
  return DriveEntry(1);
}

// The test pages' defaults come from the catalogue rows.
void ResetProcessorPage(SettingsForm& f) {
  f.procEnabled[0] = f.procCache[0] = f.procMultitasking[0] = false;  // belongs to no test
  for (int k = 1; k <= kProcessorTests; ++k) {
    const TestDefaults& d = ProcessorEntry(k).defaults;
    f.procEnabled[size_t(k)] = d.enabled != 0;
    f.procCache[size_t(k)] = d.cache != 0;
    f.procMultitasking[size_t(k)] = d.multitasking != 0;
  }
}

void ResetMemoryPage(SettingsForm& f) {
  for (int p = 0; p < kMemoryTests; ++p) {
    const TestDefaults& d = MemoryEntry(p).defaults;
    size_t i = size_t(p);
    f.memEnabled[i] = d.enabled != 0;
    f.memCache[i] = d.cache != 0;
    f.memMultitasking[i] = d.multitasking != 0;
    f.memLoopSize[i] = d.loopSize;
    f.memSweepStart[i] = d.sweepStart;
    f.memSweepStop[i] = d.sweepStop;
  }
}

void ResetDrivePage(SettingsForm& f) {
  f.driveEnabled.fill(false);
  f.driveCount[0] = kDefaultDriveFiles;
  for (int t = 1; t <= kDriveTests; ++t) {
    const CatalogueEntry& e = DriveEntry(t);
    f.driveEnabled[size_t(e.driveSwitch)] = e.defaults.enabled != 0;
    f.driveCache[size_t(e.driveCache)] = e.defaults.cache != 0;
    if (e.driveSweep < 0) continue;
    const size_t i = size_t(e.driveSweep);
    f.driveCount[i + 1] = e.defaults.loopSize;
    f.driveSweepStart[i] = e.defaults.sweepStart;
    f.driveSweepStop[i] = e.defaults.sweepStop;
  }
}

void ResetGeneralPage(SettingsForm& f) {
  f.userName = kUserNameDefault;
  f.realName = kRealNameDefault;
  f.location = kLocationDefault;
  f.email = kEmailDefault;
  f.smtpServer = kSmtpDefault;
  f.smtpPort = 25;
  f.homepage = kHomepageDefault;
  f.reportFile = kReportDefault;
  f.errorLogOutput = kErrorLogDefault;
  f.reportEnabled = true;
  f.errorLogEnabled = true;
  f.appendErrorLog = false;
  f.flushResults = false;
  f.saveAtExit = true;
  f.overclocked = false;
  for (HardwareChoice& h : f.hardware) h = HardwareChoice{};
  f.comment = kCommentPlaceholder;
  f.accessMode = 0;
  f.partition = kPartitionDefault;
}

}  // namespace

Range MemLoopSizeRange(int p) { return MemoryEntry(std::clamp(p, 0, kMemoryTests - 1)).loopRange; }
Range MemSweepRange(int p) { return MemoryEntry(std::clamp(p, 0, kMemoryTests - 1)).sweepRange; }
Range DriveSweepRange(int i) { return DriveSweepEntry(i).sweepRange; }
int32_t MemDefaultSweepStop(int p) { return MemoryEntry(std::clamp(p, 0, kMemoryTests - 1)).defaults.sweepStop; }
int32_t MemDefaultLoopSize(int p) { return MemoryEntry(std::clamp(p, 0, kMemoryTests - 1)).defaults.loopSize; }
int32_t DriveDefaultSweepStart(int i) { return DriveSweepEntry(i).defaults.sweepStart; }

bool IsChipOrRomMemoryTest(int p) {
  return p >= 0 && p < kMemoryTests && MemoryEntry(p).memory != TestMemory::Fast;
}

bool DriveCacheBelongsTo(int cacheIndex, int enabledIndex) {
  for (int d = 1; d <= kDriveTests; ++d)
    if (DriveEntry(d).driveCache == cacheIndex) return DriveEntry(d).driveSwitch == enabledIndex;
  return false;
}

void FormFromSettings(const SettingsRecord& s, SettingsForm& f) {
  using namespace cfg;
  auto t = [&](size_t off, size_t w) { return std::string(s.text(off, w)); };
  f.userName = t(kUserName, kNameWidth);
  f.realName = t(kRealName, kNameWidth);
  f.location = t(kLocation, kNameWidth);
  f.email = t(kEmail, kEmailWidth);
  f.smtpServer = t(kSmtpServer, kSmtpWidth);
  f.smtpPort = s.s32(kSmtpPort);
  f.homepage = t(kHomepage, kPathWidth);
  f.reportFile = t(kReportFile, kPathWidth);
  f.errorLogOutput = t(kErrorLogOut, kPathWidth);
  f.reportEnabled = s.s32(kReportEnabled) != 0;
  f.errorLogEnabled = s.s32(kErrorLogEnabled) != 0;
  f.appendErrorLog = s.s32(kAppendErrorLog) != 0;
  f.flushResults = s.s32(kFlushResults) != 0;
  f.saveAtExit = s.s32(kSaveAtExit) != 0;
  f.overclocked = s.s32(kOverclocked) != 0;
  const size_t vendorOff[4] = {kMainVendor, kBusVendor, kAccelVendor, kCtrlVendor};
  const size_t otherOff[4] = {kMainOther, kBusOther, kAccelOther, kCtrlOther};
  for (size_t g = 0; g < 4; ++g) {
    f.hardware[g].vendor = s.s32(vendorOff[g]);
    f.hardware[g].model = s.s32(vendorOff[g] + 4);
    f.hardware[g].other = t(otherOff[g], kOtherWidth);
  }
  f.comment = std::string(s.moduleComment());
  for (int k = 0; k <= 10; ++k) {
    f.procEnabled[size_t(k)] = s.procEnabled(k) != 0;
    f.procCache[size_t(k)] = s.procCache(k) != 0;
    f.procMultitasking[size_t(k)] = s.procMultitasking(k) != 0;
  }
  for (int p = 0; p < 24; ++p) {
    size_t i = size_t(p);
    f.memEnabled[i] = s.memEnabled(p) != 0;
    f.memCache[i] = s.memCache(p) != 0;
    f.memMultitasking[i] = s.memMultitasking(p) != 0;
    f.memLoopSize[i] = s.memLoopSize(p);
    f.memSweepStart[i] = s.memSweepStart(p);
    f.memSweepStop[i] = s.memSweepStop(p);
  }
  for (int i = 0; i < 7; ++i) f.driveEnabled[size_t(i)] = s.driveEnabled(i) != 0;
  for (int i = 0; i < 18; ++i) f.driveCache[size_t(i)] = s.driveCache(i) != 0;
  for (int i = 0; i < 5; ++i) f.driveCount[size_t(i)] = s.driveCount(i);
  for (int i = 0; i < 4; ++i) {
    f.driveSweepStart[size_t(i)] = s.driveSweepStart(i);
    f.driveSweepStop[size_t(i)] = s.driveSweepStop(i);
  }
  f.accessMode = s.s32(kAccessMode);
  f.partition = t(kPartition, kPartitionWidth);
}

void ResetForm(SettingsForm& f, ResetScope scope, bool chipOff) {
  if (scope == ResetScope::Everything) ResetGeneralPage(f);
  const bool all = scope == ResetScope::Everything || scope == ResetScope::TestPages;
  if (all || scope == ResetScope::Processor) ResetProcessorPage(f);
  if (all || scope == ResetScope::Memory) {
    ResetMemoryPage(f);
    if (chipOff)
      for (int p = 0; p < 24; ++p)
        if (IsChipOrRomMemoryTest(p)) f.memEnabled[size_t(p)] = false;
  }
  if (all || scope == ResetScope::Drive) ResetDrivePage(f);
}

SettingsEnabling UpdateSettingsEnabling(const SettingsForm& f) {
  SettingsEnabling e;
  for (size_t g = 0; g < 4; ++g) e.other[g] = f.hardware[g].vendor == kOtherVendorIndex[g];
  e.procOptions = f.procEnabled;
  e.procOptions[0] = false;
  e.memOptions = f.memEnabled;
  e.driveOptions = f.driveEnabled;
  return e;
}

std::string HostPathProblem(std::string_view path, size_t limit) {
  if (path.size() > limit)
    return "the folder is " + std::to_string(path.size()) + " bytes long, at most " + std::to_string(limit) +
           " are allowed";
  if (path.find(':') != std::string_view::npos)
    return "a folder name with ':' cannot be used (':' ends a volume name in the program's paths)";
  for (char c : path)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "the folder name holds a control character";
  return {};
}

bool IsMailAddress(std::string_view address) {
  const size_t at = address.rfind('@');
  if (at == std::string_view::npos || address.size() > limit::kEmail) return false;
  const std::string_view local = address.substr(0, at), domain = address.substr(at + 1);
  if (!IsDotAtom(local)) return false;
  if (domain.size() > 2 && domain.front() == '[' && domain.back() == ']') {
    // A literal: printable characters but brackets and backslash.
    for (char c : domain.substr(1, domain.size() - 2))
      if (c <= ' ' || c > '~' || c == '[' || c == ']' || c == '\\') return false;
    return true;
  }
  return IsDotAtom(domain);
}

bool ValidateSettingsForm(SettingsForm& f, SettingsError& err) {
  if (!CheckPersonal(f.userName, kUserNameDefault, "Enter your " + Bold("Username"), "Username:", err)) return false;
  if (!CheckPersonal(f.realName, kRealNameDefault, "Enter your " + Bold("Realname"), "Realname:", err)) return false;
  if (!CheckPersonal(f.location, kLocationDefault, "Enter your " + Bold("Location"), "Location:", err)) return false;
  if (!CheckPersonal(f.email, kEmailDefault, "Enter your General/" + Bold("E-Mail") + " address", "E-Mail:", err))
    return false;
  if (!IsMailAddress(f.email))
    return Fail(err, kErrorTitle,
                "Enter your General/" + Bold("E-Mail") + " address as name@domain\n(no spaces, quotes or <>)");
  if (f.smtpServer.empty())
    return Fail(err, kWarningTitle,
                "Enter your General/" + Bold("SMTP Server") +
                    ".\nIf you don't enter one you will be not able to send a module!");
  if (f.smtpServer == kSmtpDefault) return Fail(err, kErrorTitle, "Change the default in General/" + Bold("SMTP Server:"));
  if (f.homepage == kHomepageDefault) return Fail(err, kErrorTitle, "Change the default in General/" + Bold("Homepage:"));
  if (f.reportEnabled) {
    if (f.reportFile.empty())
      return Fail(err, kErrorTitle, "Choose a Benchmark-Report-Filename or press " + Bold("Make"));
    if (f.reportFile == kReportDefault)
      return Fail(err, kErrorTitle,
                  "Change the default in General/" + Bold("Benchmark-Report") + " or press " + Bold("Make"));
  }
  if (f.errorLogEnabled && f.errorLogOutput.empty())
    return Fail(err, kErrorTitle, "Choose a Errorlog-File or press " + Bold("Default"));
  if (f.comment.size() > limit::kComment)
    return Fail(err, kErrorTitle, "The comment you entered is too long. Maximal 200 Bytes.");
  if (f.comment == kCommentPlaceholder)
    return Fail(err, kErrorTitle, "Change the default in General/" + Bold("Module comment"));
  static const char* const kGroupNames[4] = {"Main Model", "Busboard", "Accelerator", "SCSI/IDE Controler"};
  for (size_t g = 0; g < 4; ++g) {
    HardwareChoice& h = f.hardware[g];
    if (h.vendor == kOtherVendorIndex[g]) {
      if (h.other.empty()) return Fail(err, kErrorTitle, "Enter your " + Bold(kGroupNames[g]) + " or select one.");
    } else {
      h.other.clear();
    }
  }
  if (f.partition.empty()) return Fail(err, kErrorTitle, "Choose a " + Bold("Partition"));
  if (f.partition.find(':') != std::string::npos)
    return Fail(err, kErrorTitle, "A " + Bold("Partition") + " whose name holds ':' cannot be used");
  if (f.partition == kPartitionDefault)
    return Fail(err, kErrorTitle, "Change the default in Hard Disk/" + Bold("Partition"));
  return true;
}

void CopyFormToSettings(SettingsForm& f, SettingsRecord& s) {
  using namespace cfg;
  s.set_text(kUserName, kNameWidth, Cut(f.userName, limit::kName));
  s.set_text(kRealName, kNameWidth, Cut(f.realName, limit::kName));
  s.set_text(kLocation, kNameWidth, Cut(f.location, limit::kName));
  s.set_text(kEmail, kEmailWidth, Cut(f.email, limit::kEmail));
  s.set_text(kSmtpServer, kSmtpWidth, Cut(f.smtpServer, limit::kSmtp));
  s.set_s32(kSmtpPort, f.smtpPort);
  s.set_text(kHomepage, kPathWidth, Cut(f.homepage, limit::kPath));
  s.set_text(kReportFile, kPathWidth, Cut(f.reportFile, limit::kPath));
  s.set_text(kErrorLogOut, kPathWidth, Cut(f.errorLogOutput, limit::kPath));
  const size_t vendorOff[4] = {kMainVendor, kBusVendor, kAccelVendor, kCtrlVendor};
  const size_t otherOff[4] = {kMainOther, kBusOther, kAccelOther, kCtrlOther};
  for (size_t g = 0; g < 4; ++g) {
    HardwareChoice& h = f.hardware[g];
    h.vendor = Clamp(h.vendor, {0, kOtherVendorIndex[g]});
    h.model = std::max<int32_t>(h.model, 0);
    s.set_s32(vendorOff[g], h.vendor);
    s.set_s32(vendorOff[g] + 4, h.model);
    s.set_text(otherOff[g], kOtherWidth, Cut(h.other, limit::kOther));
  }
  s.set_s32(kReportEnabled, f.reportEnabled);
  s.set_s32(kErrorLogEnabled, f.errorLogEnabled);
  s.set_s32(kAppendErrorLog, f.appendErrorLog);
  s.set_s32(kFlushResults, f.flushResults);
  s.set_s32(kSaveAtExit, f.saveAtExit);
  s.set_s32(kOverclocked, f.overclocked);
  s.setModuleComment(f.comment);

  for (int k = 1; k <= 10; ++k) {
    s.setProcEnabled(k, f.procEnabled[size_t(k)]);
    s.setProcCache(k, f.procCache[size_t(k)]);
    s.setProcMultitasking(k, f.procMultitasking[size_t(k)]);
  }
  for (int p = 0; p < 24; ++p) {
    size_t i = size_t(p);
    f.memLoopSize[i] = Clamp(f.memLoopSize[i], MemLoopSizeRange(p));
    f.memSweepStart[i] = Clamp(f.memSweepStart[i], MemSweepRange(p));
    f.memSweepStop[i] = Clamp(f.memSweepStop[i], MemSweepRange(p));
    s.setMemEnabled(p, f.memEnabled[i]);
    s.setMemCache(p, f.memCache[i]);
    s.setMemMultitasking(p, f.memMultitasking[i]);
    s.setMemLoopSize(p, f.memLoopSize[i]);
    s.setMemSweepStart(p, f.memSweepStart[i]);
    s.setMemSweepStop(p, f.memSweepStop[i]);
    if (f.memSweepStart[i] > f.memSweepStop[i]) {  // sweep repair
      f.memSweepStart[i] = 1;
      f.memSweepStop[i] = MemDefaultSweepStop(p);
      s.setMemSweepStart(p, f.memSweepStart[i]);
      s.setMemSweepStop(p, f.memSweepStop[i]);
    }
  }
  for (int i = 0; i < 7; ++i) s.setDriveEnabled(i, f.driveEnabled[size_t(i)]);
  for (int i = 0; i < 18; ++i) s.set_s32(kDriveCache + 4 * size_t(i), f.driveCache[size_t(i)]);
  f.driveCount[0] = Clamp(f.driveCount[0], kDriveFilesRange);
  for (int i = 1; i <= 4; ++i) f.driveCount[size_t(i)] = Clamp(f.driveCount[size_t(i)], kDriveLoopSizeRange);
  for (int i = 0; i < 5; ++i) s.set_s32(kDriveCount + 4 * size_t(i), f.driveCount[size_t(i)]);
  for (int i = 0; i < 4; ++i) {
    size_t j = size_t(i);
    f.driveSweepStart[j] = Clamp(f.driveSweepStart[j], DriveSweepRange(i));
    f.driveSweepStop[j] = Clamp(f.driveSweepStop[j], DriveSweepRange(i));
    if (f.driveSweepStart[j] > f.driveSweepStop[j]) {  // sweep repair
      f.driveSweepStart[j] = DriveDefaultSweepStart(i);
      f.driveSweepStop[j] = 17;
    }
    s.set_s32(kDriveSweepStart + 4 * j, f.driveSweepStart[j]);
    s.set_s32(kDriveSweepStop + 4 * j, f.driveSweepStop[j]);
  }
  s.set_text(kPartition, kPartitionWidth, Cut(f.partition, limit::kPartition));
  f.accessMode = Clamp(f.accessMode, {0, 1});
  s.set_s32(kAccessMode, f.accessMode);
}

bool ReadSettingsFromForm(Context& ctx, SettingsForm& form) {
  SettingsForm work = form;
  SettingsError err;
  if (!ValidateSettingsForm(work, err)) {
    // The "Other:" fields emptied before the failing check stay emptied, as
    // on the pages; the record is not touched.
    for (size_t g = 0; g < 4; ++g) form.hardware[g].other = work.hardware[g].other;
    ctx.requester.Request(err.title, err.text, err.button);
    return false;
  }
  CopyFormToSettings(work, ctx.settings);
  form = std::move(work);
  return true;
}

bool ReadSettingsFromWindow(Context& ctx) { return ReadSettingsFromForm(ctx, ctx.form); }

}  // namespace kr
