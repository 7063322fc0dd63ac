// Removing the benchmark folder a crashed drive run left on its partition,
// without ever following a symbolic link: the folder is opened with
// O_NOFOLLOW | O_DIRECTORY below its partition folder, checked against the
// identity the run recorded, and its entries are unlinked relative to the
// folder's own descriptor, so a link or a folder swapped in under the path
// never leads the removal anywhere else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dos.h"

namespace kr {

struct BenchFolderRemoval {
  enum class Outcome {
    Removed,     // it was there and is gone now
    Absent,      // it was not there (removed earlier); nothing to do
    Kept,        // it stays (reason says why); the crash marker must stay too
  };
  Outcome outcome = Outcome::Kept;
  std::string reason;  // with Kept: "the partition is not mounted", ...
};

// Removes host folder `parent`/`name`: unlinks the given entry names inside
// it (those that are missing are no error), then the folder itself, and
// checks that it is gone. `expected`, when given, is the device and inode the
// run recorded: a folder with another identity, or a partition folder that
// is no longer on that device (unmounted), is left alone. `progress` gets
// the count of names done.
BenchFolderRemoval RemoveBenchFolder(const std::string& parent, const std::string& name,
                                     const std::vector<std::string>& entries, const FileId* expected,
                                     const std::function<void(size_t)>& progress = {});

}  // namespace kr
