// The database index: a count field and 1003-byte summary entries, one per
// module, as the index files (".dbi") hold them; and the module base's
// in-memory state (the Local and Server lists, the slot marks).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "modules/module_record.h"
#include "records/index_entry.h"
#include "platform/dos.h"
#include "util/bytes.h"

namespace kr {

// The summary entry of a module: display position -1; for each hardware
// group, when the vendor or the model name is "Other", the group's "Other"
// text in both the vendor and the product field, else the two names.
IndexEntry MakeIndexEntry(const ModuleRecord& m);

// The index file's bytes: the count ("%ld", NUL-padded to 10 bytes), then
// the entries in list order.
std::vector<uint8_t> IndexBytes(const std::vector<IndexEntry>& entries);

// Entries of an index file as far as they are present and sound: the count
// field is read as dos StrToLong reads it (no number or a negative count:
// none), then at most that many complete 1003-byte entries; a count beyond
// the entries that are there loads those that are. An entry whose serial is
// not well formed (IsWellFormedSerial) could never name a module file and is
// left out; `skipped` counts such entries.
// An index whose count field is cut short or does not read as a number of
// zero or more cannot be read: `error` says why (and no entry is kept).
struct IndexRead {
  std::vector<IndexEntry> entries;
  int skipped = 0;
  std::string error;  // empty: read
};
IndexRead ParseIndex(const uint8_t* data, size_t size);
// The same rule over an index file, read entry by entry (a huge count or
// file costs no more memory than the entries that are there). `opened` is
// false when there is no such file; a file that is there but cannot be
// opened or read sets `error` (the system's reason, with the path).
IndexRead ReadIndexFile(Dos& dos, std::string_view path, bool& opened);

}  // namespace kr
