// The texts of the module information window and of the maximum-values page,
// as plain data the front ends show.
#pragma once

#include <string>
#include <vector>

#include "records/results.h"
#include "modules/module_description.h"

namespace kr {

// One line of the window: its group frame ("" for the personal fields at the
// top, "Hardware", "System", "Module"), its label and its text.
struct InfoLine {
  const char* group;
  const char* label;
  std::string text;
};

struct ModuleInformation {
  std::vector<InfoLine> lines;  // the 28 labelled fields in window order
  std::string comment;          // the comment box
};

// Composes the window: the four hardware lines (vendor + " - " + model, the
// vendor alone when it is "None", the group's "Other" text instead when it is
// not empty; at most 95 bytes each), the date line (date + " - " + time, at
// most 63 bytes) and every other field as it is.
ModuleInformation ComposeModuleInformation(const ModuleDescription& d);

// One line of the "Maximum values - Test weight" page.
struct MaxValueLine {
  std::string label;      // "Bogomips:"
  std::string reference;  // "5000.00 Bogomips": the "100 Percent at" figure and unit
  std::string weight;     // "80.00%", shown after "Weight:"
};
// One line per catalogue test, in catalogue order.
std::vector<MaxValueLine> MaximumValueLines();

}  // namespace kr
