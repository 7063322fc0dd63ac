// The browse page of the served folder: a static index.html with a small
// script and style (no framework, nothing fetched from elsewhere), the data
// file that lists the published modules, and one page per module with its
// descriptive fields and its score per test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "intake/store.h"
#include "modules/module_record.h"

namespace kr {

extern const char* const kBrowseHtml;    // index.html
extern const char* const kBrowseScript;  // browse.js
extern const char* const kBrowseStyle;   // browse.css

// modules.js: the published modules, oldest first, as a script that sets
// KR_FILED (how many the store holds) and KR_MODULES (rows of serial, date,
// time, user, CPU, OS, the three section totals and a sortable date key):
// the head, a row per module, the tail.
std::string BrowseDataHead(int64_t filed);
void AppendBrowseRow(std::string& out, const PublishedModule& module);
inline constexpr const char* kBrowseDataTail = "];\n";

// The page of one module (the record unscrambled).
std::string ModulePage(const ModuleRecord& module);

}  // namespace kr
