// Helpers shared by the settings tests.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "settings/settings_form.h"
#include "support/test_context.h"

namespace kr::test {

inline std::vector<uint8_t> ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteHostFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

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
