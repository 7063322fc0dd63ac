// Helpers shared by the settings tests.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "settings/settings_form.h"
#include "support/host_files.h"
#include "support/test_context.h"

namespace kr::test {


inline void WriteHostFile(const std::string& path, const std::string& text) {
  WriteHostFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline bool HostFileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// A form that passes every check: the built-in defaults with a real profile.
inline SettingsForm ValidForm() {
  SettingsRecord s;
  SetBuiltinDefaults(s);
  SettingsForm f;
  FormFromSettings(s, f);
  f.userName = "amy";
  f.realName = "Amy Example";
  f.location = "Berlin";
  f.email = "amy@example.org";
  f.smtpServer = "mail.example.org";
  f.homepage = "http://example.org/";
  f.reportFile = "PROGDIR:Reports/run.txt";
  f.comment = "fast machine";
  f.partition = "/mnt/bench";
  return f;
}

}  // namespace kr::test
