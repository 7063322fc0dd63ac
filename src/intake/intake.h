// The collection side: takes uploaded modules out of the mails of a Maildir,
// files them into the collection store, and generates from the store the
// folder that any static web server serves: a module file per published
// module (serial + ".dbe"), the index "database.dbi" the program's Server
// list is read from, and the browse page (index.html with its script, style,
// data and a page per module).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

// The verdict on one attachment: empty when it is a module to file, else
// the reason it is refused. A module to file is 9504 bytes that unscramble
// to a valid module whose serial is well formed and equals the MD5 digest of
// the record with its serial field zeroed (the serial a freshly made module
// gets). `serial` receives the serial when the bytes are a module at all.
std::string JudgeModuleFile(const std::vector<uint8_t>& bytes, std::string& serial);

struct IntakeOptions {
  std::string maildir, webdir;
  // An SQLite file, or a "postgresql://" URI; empty: collection.sqlite in
  // the Maildir folder.
  std::string store;
  // Mails per store transaction.
  size_t batch = 1000;
  // The most modules database.dbi lists (the newest); empty: the most a
  // client accepts.
  int64_t publishLimit = 0;
  // For the crash tests: called at every point where a run may be killed,
  // with the number of the point (1, 2, ...).
  std::function<void(int)> step;
};

struct IntakeSummary {
  int accepted = 0;  // mails whose module is filed (now, or before with the same bytes)
  int rejected = 0;  // mails moved to rejected/
  int failed = 0;    // mails left where they were because filing failed
  int64_t filed = 0;      // modules in the store after the run
  int64_t published = 0;  // modules database.dbi lists
};

// Under exclusive locks on the Maildir, the web folder and the store, held
// for the whole run (a second run waits):
// 1. Removes temporaries a killed run left in the web folder.
// 2. A store that has never been filled imports the web folder as it stands:
//    each entry of database.dbi whose module file is there and sound. A
//    missing index imports nothing; an index that cannot be read, is not
//    10 + 1003 x N bytes or whose count does not read as N stops the run
//    (false) with nothing written.
// 3. Reads every mail in new/ and every mail in cur/ not marked seen, in
//    name order, in batches. A mail with a module to file (its first .dbe
//    attachment, base64 in a MIME mail) whose serial the store does not hold
//    is added; one already filed with the same bytes counts as accepted. The
//    batch is committed, then its accepted mails move to cur/ marked seen.
//    Every other mail moves to rejected/ at once. One log line per mail.
// 4. Generates the web folder from the store in one pass over the list:
//    the module files and pages that are missing, then database.dbi (the
//    newest publishLimit modules, oldest first), then the browse page;
//    module files and pages of modules no longer listed are removed last.
//    Files are replaced, never rewritten in place. Nothing is written when
//    the store is as it was at the last complete publication and the
//    generated files are there.
// False when something could not be read or written (the log says what;
// mails that could not be filed stay where they were).
bool RunIntake(const IntakeOptions& options, const std::function<void(const std::string&)>& log,
               IntakeSummary& summary);
bool RunIntake(const std::string& maildir, const std::string& webdir,
               const std::function<void(const std::string&)>& log, IntakeSummary& summary);

// A name or address for the log: bytes outside printable ASCII, the space
// and the backslash as \xNN.
std::string EscapeForLog(std::string_view s);

}  // namespace kr
