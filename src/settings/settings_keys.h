// Named keys for every field of the settings record and the display record,
// for the terminal front end's "settings show", "settings set KEY=VALUE..."
// and "settings reset SCOPE". The keys are documented in docs/settings.md.
//
// Values are UTF-8 on this side; texts are stored as Latin-1. In text values
// a line break is written "\n" and a backslash "\\".
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/context.h"
#include "records/catalogue.h"

namespace kr {

// The test pages' keys are PAGE.WORD.FIELD with the key word of the test's
// catalogue row ("memory.readfastbyte.loopsize"); PAGE.NUMBER.FIELD with the
// test's catalogue position ("memory.1.loopsize") is accepted too.

// Checks the form (KEY=VALUE) and the key of every assignment, without a
// context: the key table is fixed. Values are checked by ApplySettings.
// Empty when usable, else the message ApplySettings would give.
std::string CheckAssignmentForms(const std::vector<std::string>& assignments);
// Empty when the scope names a reset scope, else the message.
std::string CheckResetScope(std::string_view scope);

// Every key with its current value, in table order (general, hardware,
// processor, memory, drive, display). Settings values come from the record,
// display values from the display record.
std::vector<std::pair<std::string, std::string>> ListSettings(const Context& ctx);

// Applies KEY=VALUE assignments onto the settings pages as the record shows
// them, then runs the pages' validation (same checks, order and messages as
// ReadSettingsFromWindow) and copies them into the record, with the same
// sweep repair. On success the records are updated and saved (the .cfg, and
// the .def when a display key was set) and true is returned. On failure
// nothing changes (records, pages, files) and `error` says why: an unknown or
// read-only key, a malformed assignment, a value out of range or too long, the
// validation's message (title and text, escape codes removed), or a failed
// save.
bool ApplySettings(Context& ctx, const std::vector<std::string>& assignments, std::string& error);

// Resets to the built-in defaults and saves:
//   "processor", "memory", "drive" - the test options of that page;
//   "tests" - the test options of all three pages;
//   "general" - the profile, hardware, report, error-log and drive-access
//   fields (the test pages keep theirs);
//   "all" - the whole settings record (as a first start makes it);
//   "display" - the chart view options, compared modules and colours.
// The page scopes go through the validation as ApplySettings does; on
// failure nothing changes and `error` says why.
bool ResetSettingsScope(Context& ctx, std::string_view scope, std::string& error);

}  // namespace kr
