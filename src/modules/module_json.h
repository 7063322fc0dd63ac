// A module's fields for the front ends: the descriptive fields as the module
// information shows them, and the machine-readable JSON form of modules
// (docs/module-json.md describes it).
#pragma once

#include <string>
#include <vector>

#include "modules/module_description.h"
#include "modules/module_record.h"

namespace kr {

struct CatalogueEntry;

// Receives the raw figures of one test as the module holds them, in their
// fixed order: single numbers, arrays, the per-block-size values of a sweep,
// and named groups of numbers.
class FigureSink {
 public:
  virtual ~FigureSink() = default;
  virtual void Number(const char* name, double v) = 0;
  virtual void Array(const char* name, const double* v, size_t n) = 0;
  // One value per block size 128 << j, j = 0 .. n-1.
  virtual void PerBlockSize(const double* v, int n) = 0;
  virtual void BeginGroup(const char* name) = 0;
  virtual void EndGroup() = 0;
};

// Walks the raw figures of one catalogue test of a module into a sink: the
// one place that knows which offsets hold which test's figures for readers
// of modules (the JSON form, the collection's module pages).
void WalkFigures(const ModuleRecord& m, const CatalogueEntry& e, FigureSink& sink);

// The JSON document of a list of modules: {"format": "kelvarank-modules",
// "version": 1, "modules": [...]}, UTF-8, every field, every figure and
// score slot by its test's name, and the totals.
std::string ModulesJson(const std::vector<ModuleRecord>& modules);

}  // namespace kr
