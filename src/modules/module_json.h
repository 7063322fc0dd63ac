// A module's fields for the front ends: the descriptive fields as the module
// information shows them, and the machine-readable JSON form of modules
// (docs/module-json.md describes it).
#pragma once

#include <string>
#include <vector>

#include "charts/module_info.h"
#include "modules/module_record.h"

namespace kr {

// The descriptive fields of a record, each as stored up to its terminator
// (Latin-1).
ModuleDescription DescribeModule(const ModuleRecord& m);

// The JSON document of a list of modules: {"format": "kelvarank-modules",
// "version": 1, "modules": [...]}, UTF-8, every field, every figure and
// score slot by its test's name, and the totals.
std::string ModulesJson(const std::vector<ModuleRecord>& modules);

}  // namespace kr
