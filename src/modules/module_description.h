// The descriptive fields of a module record as plain texts, for the module
// information window and the JSON form of modules.
#pragma once

#include <string>

#include "modules/module_record.h"

namespace kr {

// The descriptive fields of a module record (Latin-1, each as stored up to
// its terminator). A slot without a module gives all-empty fields.
struct ModuleDescription {
  std::string userName, realName, location, email, homepage;
  std::string mainVendor, mainModel, mainOther;
  std::string busVendor, busModel, busOther;
  std::string accelVendor, accelModel, accelOther;
  std::string controllerVendor, controllerModel, controllerOther;
  std::string overclocked, realMhz;
  std::string cpu, fpu, mmu, totalFast, totalChip, osVersion, ksVersion, wbVersion;
  std::string diskVendor, diskProduct, diskRevision, deviceName, fileSystem, driveSize;
  std::string date, time, serial, nativeBuild, comment;
};

// The descriptive fields of a module record.
ModuleDescription DescribeModule(const ModuleRecord& module);

}  // namespace kr
