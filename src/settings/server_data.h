// The server description "PROGDIR:Data/server.txt": line 1 the collection
// server's address, line 2 the directory on it, line 3 (optional) the
// collection mailbox. Lines end at a line feed (byte 10); every other byte,
// a carriage return included, belongs to its line; a last line without a
// line feed counts; line 4 on is ignored.
#pragma once

#include <string_view>

#include "engine/context.h"

namespace kr {

inline constexpr std::string_view kServerDataFile = "PROGDIR:Data/server.txt";

// Zero-fills ctx.run.serverHost, serverPath and serverMailbox and fills them
// from lines 1, 2 and 3 (at most 127 bytes each, the rest of a longer line
// dropped). A file that cannot be opened: error-log entry "SERVER"/
// "LoadServerData"/"Error open file!" and false; the fields stay empty.
bool LoadServerData(Context& ctx);

// Writes the description: host, a line feed, path, and no line feed after
// the last line. Refuses (false, nothing written) a host or path that holds a
// line feed or a NUL byte or is longer than 127 bytes, since it would not
// read back as given. Replaces an old file atomically.
bool WriteServerData(Context& ctx, std::string_view host, std::string_view path);

}  // namespace kr
