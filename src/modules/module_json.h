// A module's fields for the front ends: the descriptive fields as the module
// information shows them, and the machine-readable JSON form of modules
// (docs/module-json.md describes it).
#pragma once

#include <string>
#include <vector>

#include "modules/module_description.h"
#include "modules/module_record.h"

namespace kr {

// The JSON document of a list of modules: {"format": "kelvarank-modules",
// "version": 1, "modules": [...]}, UTF-8, every field, every figure and
// score slot by its test's name, and the totals.
std::string ModulesJson(const std::vector<ModuleRecord>& modules);

}  // namespace kr
