// Runs the built terminal program with no terminal and returns its exit code
// and output.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_context.h"

namespace kr::cli {

struct Result {
  int code;
  std::string out, err;
};

inline Result RunCli(const std::string& args) {
  test::TempDir tmp;
  std::string out = tmp.path() + "/out", err = tmp.path() + "/err";
  std::string cmd = std::string(KR_CLI_PATH) + " " + args + " </dev/null >" + out + " 2>" + err;
  int status = std::system(cmd.c_str());
  auto slurp = [](const std::string& p) {
    std::ifstream f(p);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

}  // namespace kr::cli
