// The collection side: takes uploaded modules out of the mails of a Maildir
// and files them into a web directory that any static web server serves
// (module files named serial + ".dbe" and the index "database.dbi").
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

struct IntakeSummary {
  int accepted = 0;  // mails whose module was filed
  int rejected = 0;  // mails moved to rejected/
  int failed = 0;    // mails left where they were because filing failed
};

// Reads every mail in maildir/new and every mail in maildir/cur not marked
// seen, in name order. A mail with a module to file (its first .dbe
// attachment, base64 in a MIME mail) is filed: the module file is written,
// then the index is rewritten with its summary entry appended (both written
// beside and renamed), then the mail moves to cur/ marked seen. Any other
// mail moves to maildir/rejected/. A serial already in the index is never
// added again. One log line per mail. Returns false when a directory cannot
// be read or something could not be written (those mails stay in place).
bool RunIntake(const std::string& maildir, const std::string& webdir,
               const std::function<void(const std::string&)>& log, IntakeSummary& summary);

}  // namespace kr
