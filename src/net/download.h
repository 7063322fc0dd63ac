// The two downloads of the Server Database page: the server's module list
// into the Server database, and one module of it into the Local database.
#pragma once

#include <cstddef>
#include <string_view>

#include "net/net.h"

namespace kr {

struct IndexEntry;

// The largest index taken from a server (entries); a longer one is refused.
inline constexpr size_t kMaxServerEntries = 50000;

// True when `bytes` is an index as a server must send it: a count field
// that reads as a number N >= 0 and exactly N entries (10 + 1003 x N bytes).
bool IsCompleteIndex(const uint8_t* bytes, size_t size);

// "Retrieve List": fetches database.dbi from the collection server (the
// server description's host and directory). Only a complete index replaces
// the Server index file (written beside and renamed) and the Server list;
// on any failure both stay as they were and the state line says why.
// Entries whose serial could not name a file are left out of the list, with
// an error-log entry. Ends with "Transfer completed." on success.
bool RetrieveServerList(Context& ctx, Network& net);

// "Download": fetches the module of a Server entry into the Local database.
// A module already Local gets the "Module is already 'Local'" requester. The
// body must be 9504 bytes that unscramble to a valid module carrying the
// entry's serial; only then is it stored (beside and renamed), the entry
// appended to the Local list and the Local index saved. The module's serial
// must also be the MD5 of its bytes (a damaged or swapped transfer is
// refused). Any failure: "Can't download module!" and nothing stored.
// IndexNotSaved: the Local index could not be written (or could not be
// read at start); "Can't create database!", the module file is removed
// again and the Local list is as it was (the dos error says why).
enum class DownloadResult { Downloaded, AlreadyLocal, Failed, IndexNotSaved };
DownloadResult DownloadModule(Context& ctx, Network& net, const IndexEntry& entry);

}  // namespace kr
