// The values of the settings pages' controls, as the pages hold them (texts
// as Latin-1 bytes, check marks, cycle indexes and slider positions), and the
// pages' fixed texts and text limits. The copy between form and settings
// record, its checks and the enabling rules are in settings/settings_form.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kr {

// Hardware groups in the order of the page and of the validation.
enum HardwareGroup : int { kHwMainModel = 0, kHwBusboard = 1, kHwAccelerator = 2, kHwController = 3 };

// Index of the vendor entry "Other" in each group's vendor list.
inline constexpr std::array<int32_t, 4> kOtherVendorIndex = {12, 10, 16, 20};

struct HardwareChoice {
  int32_t vendor = 0;
  int32_t model = 0;
  std::string other;  // the "Other:" field
};

struct SettingsForm {
  // General page.
  std::string userName, realName, location, email, smtpServer, homepage;
  int32_t smtpPort = 25;
  std::string reportFile, errorLogOutput;
  bool reportEnabled = true, errorLogEnabled = true, appendErrorLog = false;
  bool flushResults = false, saveAtExit = true, overclocked = false;
  std::array<HardwareChoice, 4> hardware{};
  std::string comment;  // up to 200 bytes

  // Processor page: index 1..10 in catalogue order (0 unused).
  std::array<bool, 11> procEnabled{}, procCache{}, procMultitasking{};

  // Memory page: index 0..23 in catalogue order.
  std::array<bool, 24> memEnabled{}, memCache{}, memMultitasking{};
  std::array<int32_t, 24> memLoopSize{}, memSweepStart{}, memSweepStop{};

  // Hard Disk page (indexes as in the settings record's drive arrays).
  std::array<bool, 7> driveEnabled{};
  std::array<bool, 18> driveCache{};
  std::array<int32_t, 5> driveCount{};
  std::array<int32_t, 4> driveSweepStart{}, driveSweepStop{};
  int32_t accessMode = 0;  // cycle: 0 "Direct-SCSI", 1 "NSD-64"
  std::string partition;
};

// The built-in texts of the General and Hard Disk pages.
inline constexpr std::string_view kDefaultReportFile = "PROGDIR:Reports/KR_Report_00.00.00_00.00.00.txt";
// What the error-log "Default" button puts into its field.
inline constexpr std::string_view kDefaultErrorLogOutput = "CON:///100/KelvaRANK Errorlog/AUTO/CLOSE";
inline constexpr std::string_view kDefaultPartition = "(Partition used)";

// The most characters each text control accepts.
namespace limit {
inline constexpr size_t kOther = 31, kName = 32, kEmail = 127, kSmtp = 63, kPath = 255;
inline constexpr size_t kComment = 200, kPartition = 63;
}  // namespace limit

}  // namespace kr
