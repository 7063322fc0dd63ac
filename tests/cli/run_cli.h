// Runs the built terminal program with no terminal and returns its exit code
// and output.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_context.h"

namespace kr::cli {

// The whole file in one read (a disk image is 160 MB: read byte by byte it
// takes tens of seconds in the sanitizer build); empty when it can't be read.
inline std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  if (!f) return {};
  std::string bytes(size_t(f.tellg()), '\0');
  f.seekg(0);
  f.read(bytes.data(), std::streamsize(bytes.size()));
  bytes.resize(size_t(f.gcount()));
  return bytes;
}

struct Result {
  int code;
  std::string out, err;
};

inline Result RunCli(const std::string& args) {
  test::TempDir tmp;
  std::string out = tmp.path() + "/out", err = tmp.path() + "/err";
  std::string cmd = std::string(KR_CLI_PATH) + " " + args + " </dev/null >" + out + " 2>" + err;
  int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

// Starts the terminal program with the arguments, with no input or output
// and its error output into errPath; returns its process id.
inline pid_t Spawn(const std::vector<std::string>& args, const std::string& errPath) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    FILE* in = std::freopen("/dev/null", "r", stdin);
    FILE* out = std::freopen("/dev/null", "w", stdout);
    FILE* err = std::freopen(errPath.c_str(), "w", stderr);
    if (!in || !out || !err) ::_exit(127);
    std::vector<char*> argv{const_cast<char*>(KR_CLI_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(KR_CLI_PATH, argv.data());
    ::_exit(127);
  }
  return pid;
}

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace kr::cli
