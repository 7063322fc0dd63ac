#include "charts/module_info.h"

#include <string_view>

#include "records/catalogue.h"
#include "modules/module_record.h"
#include "util/numtext.h"

namespace kr {
namespace {

std::string Cut(std::string s, size_t buffer) {
  if (s.size() > buffer - 1) s.resize(buffer - 1);
  return s;
}

// "a - b" cut to a buffer of the given size; empty when both parts are, so a
// slot without a module shows an all-empty window.
std::string Joined(const std::string& a, const std::string& b, size_t buffer) {
  if (a.empty() && b.empty()) return {};
  return Cut(a + " - " + b, buffer);
}

// Busboard, accelerator and controller lines.
std::string HardwareLine(const std::string& vendor, const std::string& model, const std::string& other) {
  if (!other.empty()) return Cut(other, 96);
  if (vendor == "None") return vendor;
  return Joined(vendor, model, 96);
}

// Page labels in catalogue order.
constexpr const char* kMaxLabels[kCatalogueSize] = {
    "Bogomips:", "Dhrystones:", "Fibonacci number:", "FPU emulation:", "LibJPEG functions:", "Mars cipher:",
    "MD5 checksume:", "MP3 2 CDDA:", "Serpent cipher:", "ZLib functions:",
    "Read CPU cache:", "Read FAST byte:", "Read FAST word:", "Read FAST long:", "Write FAST byte:",
    "Write FAST word:", "Write FAST long:", "Read CHIP byte:", "Read CHIP word:", "Read CHIP long:",
    "Write CHIP byte:", "Write CHIP word:", "Write CHIP long:", "Copy FAST to FAST:", "Copy FAST to CHIP:",
    "Copy CHIP to FAST:", "Copy CHIP to CHIP:", "Allocate FAST memory:", "Allocate CHIP memory:",
    "Memset FAST:", "Memset CHIP:", "Read ROM byte:", "Read ROM word:", "Read ROM long:",
    "Read from file:", "Write to file:", "Create files:", "Open files:", "Close from read:",
    "Close from write:", "Set protection:", "Set comment:", "Set filesize:", "Set date:", "Delete files:",
    "Rename files:", "Seek in file:", "Directory scan:", "Read from device:", "Write to device:",
    "Seek on device:", "SpinUP device:"};

// The page writes two catalogue units its own way.
std::string_view PageUnit(std::string_view unit) {
  if (unit == "BogoMIPS") return "Bogomips";
  if (unit == "MB/s") return "MB/sec";
  return unit;
}

}  // namespace

ModuleInformation ComposeModuleInformation(const ModuleDescription& d) {
  const std::string mainModel = d.mainOther.empty() ? Joined(d.mainVendor, d.mainModel, 96) : Cut(d.mainOther, 96);
  ModuleInformation info;
  info.lines = {
      {"", "Username:", d.userName},
      {"", "Realname:", d.realName},
      {"", "Location:", d.location},
      {"", "E-Mail:", d.email},
      {"", "Homepage:", d.homepage},
      {"Hardware", "Mainmodel:", mainModel},
      {"Hardware", "Busboard:", HardwareLine(d.busVendor, d.busModel, d.busOther)},
      {"Hardware", "Accelerator:", HardwareLine(d.accelVendor, d.accelModel, d.accelOther)},
      {"Hardware", "SCSI/IDE Controler:", HardwareLine(d.controllerVendor, d.controllerModel, d.controllerOther)},
      {"System", "OS version:", d.osVersion},
      {"System", "KS version:", d.ksVersion},
      {"System", "WB version:", d.wbVersion},
      {"System", "Total FAST:", d.totalFast},
      {"System", "Total CHIP:", d.totalChip},
      {"System", "CPU:", d.cpu},
      {"System", "FPU:", d.fpu},
      {"System", "MMU:", d.mmu},
      {"System", "Real MHZ:", d.realMhz},
      {"System", "Overclocked:", d.overclocked},
      {"System", "Vendor:", d.diskVendor},
      {"System", "Product:", d.diskProduct},
      {"System", "Revision:", d.diskRevision},
      {"System", "Device:", d.deviceName},
      {"System", "Filesystem:", d.fileSystem},
      {"System", "Drivesize:", d.driveSize},
      {"Module", "Native Build:", d.nativeBuild},
      {"Module", "Module Date:", Joined(d.date, d.time, 64)},
      {"Module", "Module Serial:", d.serial},
  };
  info.comment = d.comment;
  return info;
}

std::vector<MaxValueLine> MaximumValueLines() {
  std::vector<MaxValueLine> lines;
  lines.reserve(kCatalogueSize);
  for (int i = 0; i < kCatalogueSize; ++i) {
    const CatalogueEntry& e = kCatalogue[i];
    MaxValueLine l;
    l.label = kMaxLabels[i];
    l.reference = FixedText(e.reference, 100) + " " + std::string(PageUnit(e.unit));
    l.weight = FixedText(e.weight, 100) + "%";
    lines.push_back(std::move(l));
  }
  return lines;
}

}  // namespace kr
