// The settings record: fifteen blocks in file order, one byte image of 2452
// bytes, big-endian, exactly as KelvaRANK.cfg holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/bytes.h"

namespace kr {

namespace cfg {
// Block offsets within the record (and the file).
constexpr size_t kGeneral = 0, kGeneralSize = 1568;
constexpr size_t kProcEnabled = 1568, kProcCache = 1612, kProcMultitasking = 1656;  // 11 x s32
constexpr size_t kMemEnabled = 1700, kMemCache = 1804, kMemMultitasking = 1908;     // 26 x s32
constexpr size_t kMemLoopSize = 2012, kMemSweepStart = 2108, kMemSweepStop = 2204;  // 24 x s32
constexpr size_t kDriveEnabled = 2300;     // 7 x s32
constexpr size_t kDriveCache = 2328;       // 18 x s32
constexpr size_t kDriveCount = 2400;       // 5 x s32
constexpr size_t kDriveSweepStart = 2420;  // 4 x s32
constexpr size_t kDriveSweepStop = 2436;   // 4 x s32
constexpr size_t kSize = 2452;
static_assert(kDriveSweepStop + 16 == kSize);

// General block fields (offsets within the record; the general block is first).
constexpr size_t kReportEnabled = 0, kErrorLogEnabled = 4, kAppendErrorLog = 8, kUnused12 = 12;
constexpr size_t kFlushResults = 16, kSaveAtExit = 20;
constexpr size_t kMainVendor = 24, kMainModel = 28, kBusVendor = 32, kBusModel = 36;
constexpr size_t kAccelVendor = 40, kAccelModel = 44, kCtrlVendor = 48, kCtrlModel = 52;
constexpr size_t kOverclocked = 56, kAccessMode = 60, kUnused64 = 64;  // 20 bytes unused
constexpr size_t kMainOther = 84, kBusOther = 116, kAccelOther = 148, kCtrlOther = 180;  // 32 each
constexpr size_t kUserName = 212, kRealName = 276, kLocation = 340;  // 64 each
constexpr size_t kEmail = 404;        // 128
constexpr size_t kSmtpServer = 532;   // 64
constexpr size_t kHomepage = 596;     // 256
constexpr size_t kReportFile = 852;   // 256
constexpr size_t kErrorLogOut = 1108; // 256
constexpr size_t kComment = 1364;     // 136
constexpr size_t kPartition = 1500;   // 64
constexpr size_t kSmtpPort = 1564;
static_assert(kSmtpPort + 4 == kGeneralSize);

constexpr size_t kOtherWidth = 32, kNameWidth = 64, kEmailWidth = 128, kSmtpWidth = 64;
constexpr size_t kPathWidth = 256, kCommentWidth = 136, kPartitionWidth = 64;
}  // namespace cfg

// The longest module comment the pages accept and a module keeps.
constexpr size_t kCommentMax = 200;

struct SettingsRecord : ByteImage<cfg::kSize> {
  // The module comment holds up to 200 bytes; the record's field (136 bytes)
  // holds its first 135. The full text is kept here, beside the byte image,
  // and saved in the comment side file next to the .cfg (docs/settings.md).
  // It counts only while it continues the field's text, so a field changed
  // on its own never shows a stale tail.
  std::string longComment;

  // The full module comment.
  std::string_view moduleComment() const {
    std::string_view field = text(cfg::kComment, cfg::kCommentWidth);
    if (field.size() == cfg::kCommentWidth - 1 && longComment.size() > field.size() &&
        std::string_view(longComment).substr(0, field.size()) == field)
      return longComment;
    return field;
  }
  // Stores a comment (cut at a NUL byte and to 200 bytes).
  void setModuleComment(std::string_view c) {
    c = c.substr(0, c.find('\0'));
    if (c.size() > kCommentMax) c = c.substr(0, kCommentMax);
    set_text(cfg::kComment, cfg::kCommentWidth, c);
    if (c.size() >= cfg::kCommentWidth) longComment.assign(c);
    else longComment.clear();
  }

  // General flags.
  int32_t reportEnabled() const { return s32(cfg::kReportEnabled); }
  int32_t errorLogEnabled() const { return s32(cfg::kErrorLogEnabled); }
  int32_t appendErrorLog() const { return s32(cfg::kAppendErrorLog); }
  int32_t flushResults() const { return s32(cfg::kFlushResults); }
  int32_t saveAtExit() const { return s32(cfg::kSaveAtExit); }
  int32_t accessMode() const { return s32(cfg::kAccessMode); }
  std::string_view reportFile() const { return text(cfg::kReportFile, cfg::kPathWidth); }
  std::string_view errorLogOutput() const { return text(cfg::kErrorLogOut, cfg::kPathWidth); }
  std::string_view partition() const { return text(cfg::kPartition, cfg::kPartitionWidth); }

  // Processor arrays, index 0..10 (1..10 are the tests in catalogue order).
  int32_t procEnabled(int k) const { return s32(cfg::kProcEnabled + 4 * size_t(k)); }
  int32_t procCache(int k) const { return s32(cfg::kProcCache + 4 * size_t(k)); }
  int32_t procMultitasking(int k) const { return s32(cfg::kProcMultitasking + 4 * size_t(k)); }
  void setProcEnabled(int k, int32_t v) { set_s32(cfg::kProcEnabled + 4 * size_t(k), v); }
  void setProcCache(int k, int32_t v) { set_s32(cfg::kProcCache + 4 * size_t(k), v); }
  void setProcMultitasking(int k, int32_t v) { set_s32(cfg::kProcMultitasking + 4 * size_t(k), v); }

  // Memory arrays, index 0..23 in catalogue order (enable/cache/mt have 26).
  int32_t memEnabled(int p) const { return s32(cfg::kMemEnabled + 4 * size_t(p)); }
  int32_t memCache(int p) const { return s32(cfg::kMemCache + 4 * size_t(p)); }
  int32_t memMultitasking(int p) const { return s32(cfg::kMemMultitasking + 4 * size_t(p)); }
  int32_t memLoopSize(int p) const { return s32(cfg::kMemLoopSize + 4 * size_t(p)); }
  int32_t memSweepStart(int p) const { return s32(cfg::kMemSweepStart + 4 * size_t(p)); }
  int32_t memSweepStop(int p) const { return s32(cfg::kMemSweepStop + 4 * size_t(p)); }
  void setMemEnabled(int p, int32_t v) { set_s32(cfg::kMemEnabled + 4 * size_t(p), v); }
  void setMemCache(int p, int32_t v) { set_s32(cfg::kMemCache + 4 * size_t(p), v); }
  void setMemMultitasking(int p, int32_t v) { set_s32(cfg::kMemMultitasking + 4 * size_t(p), v); }
  void setMemLoopSize(int p, int32_t v) { set_s32(cfg::kMemLoopSize + 4 * size_t(p), v); }
  void setMemSweepStart(int p, int32_t v) { set_s32(cfg::kMemSweepStart + 4 * size_t(p), v); }
  void setMemSweepStop(int p, int32_t v) { set_s32(cfg::kMemSweepStop + 4 * size_t(p), v); }

  // Drive arrays.
  int32_t driveEnabled(int i) const { return s32(cfg::kDriveEnabled + 4 * size_t(i)); }
  void setDriveEnabled(int i, int32_t v) { set_s32(cfg::kDriveEnabled + 4 * size_t(i), v); }
  int32_t driveCache(int i) const { return s32(cfg::kDriveCache + 4 * size_t(i)); }
  int32_t driveCount(int i) const { return s32(cfg::kDriveCount + 4 * size_t(i)); }
  int32_t driveSweepStart(int i) const { return s32(cfg::kDriveSweepStart + 4 * size_t(i)); }
  int32_t driveSweepStop(int i) const { return s32(cfg::kDriveSweepStop + 4 * size_t(i)); }
};

// The module comment placeholder (with a real line break).
inline constexpr std::string_view kCommentPlaceholder =
    "Here you can enter a maximal 200 bytes long comment.\nThis would be saved to the module...";

// The file-system tests' number of files (in thousands) by default.
inline constexpr int32_t kDefaultDriveFiles = 2;

// The access mode the device tests use for the record's access-mode cycle
// index: 1 for "Direct-SCSI" (0), 2 for "NSD-64" (1).
constexpr int32_t AccessModeOfCycle(int32_t cycle) { return cycle == 1 ? 2 : 1; }

// Fills the whole record with the built-in defaults (the tests' own from
// their catalogue rows).
void SetBuiltinDefaults(SettingsRecord& s);

}  // namespace kr
