#include "settings/settings_record.h"

namespace kr {
namespace {
struct MemDefault {
  int32_t loop, stop;
};
// Loop size (in MiB) and the last sweep step per memory test, catalogue order.
constexpr MemDefault kMemDefaults[24] = {
    {256, 17},                                                   // CPU Cache Read
    {64, 17}, {64, 17}, {64, 17}, {64, 17}, {64, 17}, {64, 17},  // Read/Write FAST
    {8, 14}, {8, 14}, {8, 14}, {8, 14}, {8, 14}, {8, 14},        // Read/Write CHIP
    {64, 17}, {8, 14}, {8, 14}, {8, 13},                         // Copy
    {64, 17}, {8, 14},                                           // Allocate FAST, CHIP
    {64, 17}, {8, 14},                                           // Memset FAST, CHIP
    {64, 13}, {64, 13}, {64, 13},                                // Read ROM
};
}  // namespace

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
  for (int k = 1; k <= 10; ++k) {
    s.setProcEnabled(k, 0);
    s.setProcCache(k, 1);
    s.setProcMultitasking(k, 0);
  }
  for (int p = 0; p < 24; ++p) {
    s.setMemEnabled(p, 0);
    s.setMemCache(p, 1);
    s.setMemMultitasking(p, 0);
    s.setMemLoopSize(p, kMemDefaults[p].loop);
    s.setMemSweepStart(p, 1);
    s.setMemSweepStop(p, kMemDefaults[p].stop);
  }
  for (int i = 0; i < 18; ++i) s.set_s32(kDriveCache + 4 * size_t(i), 1);
  s.set_s32(kDriveCount, 2);
  for (int i = 1; i <= 4; ++i) s.set_s32(kDriveCount + 4 * size_t(i), 16);
  const int32_t starts[4] = {1, 1, 3, 3};
  for (int i = 0; i < 4; ++i) {
    s.set_s32(kDriveSweepStart + 4 * size_t(i), starts[i]);
    s.set_s32(kDriveSweepStop + 4 * size_t(i), 17);
  }
}

}  // namespace kr
