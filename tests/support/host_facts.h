// Facts about the machine the tests run on, read where the system keeps
// them, for tests that check what the program says about this host.
#pragma once

#include <fstream>
#include <string>

namespace kr::test {

// The system's name as its os-release file gives it (NAME, without quotes:
// "Debian GNU/Linux", "Fedora Linux"); "Linux" when neither file names it.
// The program's system text starts with it (or names it, as PRETTY_NAME does).
inline std::string HostOsName() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("NAME=", 0) != 0) continue;
      std::string v = line.substr(5);
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      if (!v.empty()) return v;
    }
  }
  return "Linux";
}

}  // namespace kr::test
