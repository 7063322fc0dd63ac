#include "modules/module_description.h"

namespace kr {

ModuleDescription DescribeModule(const ModuleRecord& m) {
  auto text = [&](size_t off, size_t width) { return std::string(m.text(off, width)); };
  auto hw = [&](int group, size_t part) {
    return text(mod::kHardware + mod::kHardwareGroupSize * size_t(group) + part, mod::kHardwareTextWidth);
  };
  ModuleDescription d;
  d.userName = text(mod::kUserName, mod::kUserNameWidth);
  d.realName = text(mod::kRealName, mod::kRealNameWidth);
  d.location = text(mod::kLocation, mod::kLocationWidth);
  d.email = text(mod::kEmail, mod::kEmailWidth);
  d.homepage = text(mod::kHomepage, mod::kHomepageWidth);
  std::string* groups[4][3] = {{&d.mainVendor, &d.mainModel, &d.mainOther},
                               {&d.busVendor, &d.busModel, &d.busOther},
                               {&d.accelVendor, &d.accelModel, &d.accelOther},
                               {&d.controllerVendor, &d.controllerModel, &d.controllerOther}};
  for (int g = 0; g < 4; ++g) {
    *groups[g][0] = hw(g, mod::kHardwareVendor);
    *groups[g][1] = hw(g, mod::kHardwareModel);
    *groups[g][2] = hw(g, mod::kHardwareOther);
  }
  d.overclocked = text(mod::kOverclocked, mod::kOverclockedWidth);
  d.realMhz = text(mod::kClock, mod::kClockWidth);
  d.cpu = text(mod::kCpu, mod::kSysTextWidth);
  d.fpu = text(mod::kFpu, mod::kSysTextWidth);
  d.mmu = text(mod::kMmu, mod::kSysTextWidth);
  d.totalFast = text(mod::kTotalFast, mod::kSysTextWidth);
  d.totalChip = text(mod::kTotalChip, mod::kSysTextWidth);
  d.osVersion = text(mod::kOs, mod::kSysTextWidth);
  d.ksVersion = text(mod::kKs, mod::kSysTextWidth);
  d.wbVersion = text(mod::kWb, mod::kSysTextWidth);
  d.diskVendor = text(mod::kDiskVendor, mod::kDiskVendorWidth);
  d.diskProduct = text(mod::kDiskProduct, mod::kDiskProductWidth);
  d.diskRevision = text(mod::kDiskRevision, mod::kDiskRevisionWidth);
  d.deviceName = text(mod::kDeviceName, mod::kDeviceNameWidth);
  d.fileSystem = text(mod::kFileSystem, mod::kFileSystemWidth);
  d.driveSize = text(mod::kDriveSize, mod::kDriveSizeWidth);
  d.date = text(mod::kDate, mod::kStampWidth);
  d.time = text(mod::kTime, mod::kStampWidth);
  d.serial = text(mod::kSerial, mod::kSerialWidth);
  d.nativeBuild = text(mod::kBuild, mod::kBuildWidth);
  d.comment = text(mod::kComment, mod::kCommentWidth);
  return d;
}

}  // namespace kr
