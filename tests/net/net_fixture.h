// Files and modules for the network tests.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "modules/module_record.h"
#include "support/test_context.h"

namespace kr::test::net_files {

inline std::string Read(const std::string& path) {
  std::string out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

inline void Write(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// Names in a folder, sorted.
inline std::vector<std::string> Names(const std::string& dir) {
  std::vector<DirEntry> entries;
  LinuxDos dos("/", "/");
  dos.ListDir(dir, entries);
  std::vector<std::string> names;
  for (const DirEntry& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

// A freshly made module of user `user` (serial over the record with a zero
// serial field), and its file bytes (scrambled).
inline ModuleRecord MakeModule(Context& ctx, const std::string& user, double figure = 1.5) {
  ctx.settings.set_text(cfg::kUserName, cfg::kNameWidth, user);
  ctx.settings.set_text(cfg::kRealName, cfg::kNameWidth, "Real " + user);
  ModuleRecord m;
  m.setFigure(rec::kBogomips, figure);
  FillModuleDescription(ctx, m);
  return m;
}
inline std::string FileBytes(ModuleRecord m) {
  ScrambleModule(m);
  return std::string(m.bytes.begin(), m.bytes.end());
}

}  // namespace kr::test::net_files
