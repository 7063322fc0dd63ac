#include "records/settings_record.h"

#include "records/catalogue.h"

namespace kr {

void SetBuiltinDefaults(SettingsRecord& s) {
  using namespace cfg;
  s.Clear();
  s.set_s32(kReportEnabled, 1);
  s.set_s32(kErrorLogEnabled, 1);
  s.set_s32(kAppendErrorLog, 0);
  s.set_s32(kFlushResults, 0);
  s.set_s32(kSaveAtExit, 1);
  s.set_text(kUserName, kNameWidth, "(Your Username)");
  s.set_text(kRealName, kNameWidth, "(Your Realname)");
  s.set_text(kLocation, kNameWidth, "(Your Location)");
  s.set_text(kEmail, kEmailWidth, "(Your E-Mail)");
  s.set_text(kSmtpServer, kSmtpWidth, "(Your SMTP Server)");
  s.set_text(kHomepage, kPathWidth, "(Your Homepage)");
  s.set_text(kReportFile, kPathWidth, "PROGDIR:Reports/KR_Report_00.00.00_00.00.00.txt");
  s.set_text(kErrorLogOut, kPathWidth, "CON:///100/KelvaRANK Errorlog/AUTO/CLOSE");
  s.setModuleComment(kCommentPlaceholder);
  s.set_text(kPartition, kPartitionWidth, "(Partition used)");
  s.set_s32(kSmtpPort, 25);
  // The tests' own settings from their catalogue rows.
  for (int k = 1; k <= kProcessorTests; ++k) {
    const TestDefaults& d = ProcessorEntry(k).defaults;
    s.setProcEnabled(k, d.enabled);
    s.setProcCache(k, d.cache);
    s.setProcMultitasking(k, d.multitasking);
  }
  for (int p = 0; p < kMemoryTests; ++p) {
    const TestDefaults& d = MemoryEntry(p).defaults;
    s.setMemEnabled(p, d.enabled);
    s.setMemCache(p, d.cache);
    s.setMemMultitasking(p, d.multitasking);
    s.setMemLoopSize(p, d.loopSize);
    s.setMemSweepStart(p, d.sweepStart);
    s.setMemSweepStop(p, d.sweepStop);
  }
  s.set_s32(kDriveCount, kDefaultDriveFiles);
  for (int d = 1; d <= kDriveTests; ++d) {
    const CatalogueEntry& e = DriveEntry(d);
    s.set_s32(kDriveCache + 4 * size_t(e.driveCache), e.defaults.cache);
    if (e.driveSweep < 0) continue;
    s.set_s32(kDriveCount + 4 * size_t(e.driveSweep + 1), e.defaults.loopSize);
    s.set_s32(kDriveSweepStart + 4 * size_t(e.driveSweep), e.defaults.sweepStart);
    s.set_s32(kDriveSweepStop + 4 * size_t(e.driveSweep), e.defaults.sweepStop);
  }
}

}  // namespace kr
