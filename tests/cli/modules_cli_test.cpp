#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "cli/run_cli.h"
#include "modules/module_fixture.h"
#include "modules/module_record.h"

namespace kr::cli {
namespace {


TEST(CliModules, ImportListShowExportJsonAndRemove) {
  // A module made the way Make Module makes one, as a file to import.
  test::ModuleContext maker;
  maker.ctx.results.setScore(slot::kMemoryTotal, {61.25, 1.0});
  FillModuleDescription(maker.ctx, maker.ctx.results);
  const std::string serial(ModuleSerial(maker.ctx.results));
  const std::string file = maker.Home("made.dbe");
  ASSERT_TRUE(WriteModuleFile(maker.ctx, file, maker.ctx.results));

  test::TempDir home;
  const std::string h = "--home " + home.path() + " --yes ";
  Result empty = RunCli(h + "modules list");
  ASSERT_EQ(empty.code, 0) << empty.err;
  EXPECT_EQ(empty.out, "No modules in the Local database.\n");

  Result imported = RunCli(h + "modules import " + file);
  ASSERT_EQ(imported.code, 0) << imported.err;
  EXPECT_TRUE(Has(imported.out, "Imported " + serial));
  Result again = RunCli(h + "modules import " + file + " " + maker.Home("missing.dbe"));
  EXPECT_EQ(again.code, 10);
  EXPECT_TRUE(Has(again.err, "Module is already 'Local'...")) << again.err;
  EXPECT_TRUE(Has(again.err, "Wrong module-length!")) << again.err;

  Result list = RunCli(h + "modules list");
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_TRUE(Has(list.out, serial + "  ")) << list.out;
  EXPECT_TRUE(Has(list.out, "Tester  Test CPU 3.0GHz  Processor 42.50  Memory 61.25  Hard Drive DISABLED\n"))
      << list.out;

  Result show = RunCli(h + "modules show " + serial);
  ASSERT_EQ(show.code, 0) << show.err;
  EXPECT_TRUE(Has(show.out, "Accelerator:         HomeBrew 060\n")) << show.out;
  EXPECT_TRUE(Has(show.out, "Module Serial:       " + serial + "\n")) << show.out;
  EXPECT_TRUE(Has(show.out, "System total:        DISABLED\n")) << show.out;

  const std::string exported = home.path() + "/copy.dbe";
  ASSERT_EQ(RunCli(h + "modules export " + serial + " " + exported).code, 0);
  EXPECT_EQ(test::ReadHostFile(exported), test::ReadHostFile(file));

  Result json = RunCli(h + "modules export-json --all");
  ASSERT_EQ(json.code, 0) << json.err;
  EXPECT_TRUE(Has(json.out, "\"serial\": \"" + serial + "\"")) << json.out;
  EXPECT_TRUE(Has(json.out, "\"memory\": {\"percent\": 61.25, \"valid\": true}")) << json.out;
  EXPECT_TRUE(Has(json.out, "\"figures\": {\n")) << json.out;
  EXPECT_TRUE(Has(json.out, "\"bogomips\": 1234.5")) << json.out;

  // Bad serials and unknown modules: a message and exit code 10.
  for (const std::string& bad : {std::string("0x../../etc/passwd"), std::string("0x0123456789ABCDEF0123456789ABCDEF")}) {
    Result r = RunCli(h + "modules show " + bad);
    EXPECT_EQ(r.code, 10) << bad;
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(RunCli(h + "modules remove " + bad).code, 10);
  }
  EXPECT_EQ(RunCli(h + "modules export").code, 2);

  // Not on the server: --no keeps it, --yes removes it.
  EXPECT_EQ(RunCli("--home " + home.path() + " --no modules remove " + serial).code, 10);
  Result removed = RunCli(h + "modules remove " + serial);
  ASSERT_EQ(removed.code, 0) << removed.err;
  EXPECT_TRUE(Has(removed.err, "It seems there is no copy")) << removed.err;
  EXPECT_EQ(RunCli(h + "modules list").out, "No modules in the Local database.\n");
}

// A module file made the way Make Module makes one, in `maker`'s home.
std::string MadeModuleFile(test::ModuleContext& maker, std::string& serial, double bogomips = 1234.5) {
  maker.ctx.results.setFigure(rec::kBogomips, bogomips);
  maker.ctx.results.set_text(mod::kSerial, mod::kSerialWidth, "");
  FillModuleDescription(maker.ctx, maker.ctx.results);
  serial = std::string(ModuleSerial(maker.ctx.results));
  const std::string file = maker.Home("made" + std::to_string(int(bogomips)) + ".dbe");
  EXPECT_TRUE(WriteModuleFile(maker.ctx, file, maker.ctx.results));
  return file;
}

// Every file a command writes follows the report's rule: a link, a pipe,
// a folder or a device given as the output is refused (exit 10) and stays
// as it was; the file a link points to is untouched.
TEST(CliModules, OutputsThatAreNotRegularFilesAreRefused) {
  test::ModuleContext maker;
  std::string serial;
  const std::string file = MadeModuleFile(maker, serial);
  test::TempDir home, out;
  const std::string h = "--home " + home.path() + " --yes ";
  ASSERT_EQ(RunCli(h + "modules import " + file).code, 0);

  const std::string victim = out.path() + "/victim.txt";
  std::ofstream(victim) << "precious";
  ASSERT_EQ(::symlink(victim.c_str(), (out.path() + "/link").c_str()), 0);
  ASSERT_EQ(::symlink((out.path() + "/made").c_str(), (out.path() + "/dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo((out.path() + "/pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir((out.path() + "/folder").c_str(), 0700), 0);
  const bool device = ::mknod((out.path() + "/device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  struct Target {
    const char* name;
    mode_t type;
  } targets[] = {{"link", S_IFLNK}, {"dangling", S_IFLNK}, {"pipe", S_IFIFO}, {"folder", S_IFDIR},
                 {"device", S_IFCHR}};
  const std::string commands[] = {"modules export " + serial + " ", "modules export-json " + serial + " ",
                                  "modules export-json --all ", "run processor --json ", "chart --png "};
  for (const Target& t : targets) {
    if (std::string(t.name) == "device" && !device) continue;  // mknod needs privilege
    const std::string target = out.path() + "/" + t.name;
    for (const std::string& command : commands) {
      Result r = RunCli(h + command + target);
      EXPECT_EQ(r.code, 10) << command << t.name << "\n" << r.err;
      struct stat st;
      ASSERT_EQ(::lstat(target.c_str(), &st), 0) << command << t.name;
      EXPECT_EQ(st.st_mode & S_IFMT, t.type) << command << t.name;
    }
  }
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
  struct stat st;
  EXPECT_NE(::lstat((out.path() + "/made").c_str(), &st), 0);
  Result json = RunCli(h + "run processor --json " + out.path() + "/link");
  EXPECT_TRUE(Has(json.err, "--json " + out.path() + "/link: a symbolic link, not followed")) << json.err;
}

// Only a missing index is an empty database: one that cannot be read or
// parsed stops every command that would use it, and nothing is written.
TEST(CliModules, AnIndexThatCannotBeReadStopsTheCommand) {
  test::ModuleContext maker;
  std::string first, second;
  const std::string a = MadeModuleFile(maker, first), b = MadeModuleFile(maker, second, 4321.0);
  test::TempDir home;
  const std::string h = "--home " + home.path() + " --yes ";
  ASSERT_EQ(RunCli(h + "modules import " + a).code, 0);
  const std::string index = home.path() + "/Database/Local/database.dbi";
  auto slurp = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string spoilt = "garbage" + slurp(index).substr(7);
  std::ofstream(index, std::ios::binary | std::ios::trunc) << spoilt;

  const std::string commands[] = {"modules list", "modules import " + b, "modules show " + first,
                                  "modules remove " + first, "modules export-json --all", "modules info " + first};
  for (const std::string& command : commands) {
    Result r = RunCli(h + command);
    EXPECT_EQ(r.code, 10) << command;
    EXPECT_TRUE(Has(r.err, "the Local database cannot be used: " + index)) << command << "\n" << r.err;
    EXPECT_EQ(slurp(index), spoilt) << command;
  }
  EXPECT_EQ(slurp(home.path() + "/Database/Local/" + first + ".dbe").size(), 9504u);
  struct stat st;
  EXPECT_NE(::stat((home.path() + "/Database/Local/" + second + ".dbe").c_str(), &st), 0);
  // The Server database is not needed to list the Local one.
  std::ofstream(home.path() + "/Database/Server/database.dbi", std::ios::binary | std::ios::trunc) << "x";
  std::ofstream(index, std::ios::binary | std::ios::trunc) << "0";
  std::ofstream(index, std::ios::binary | std::ios::app) << std::string(9, '\0');
  EXPECT_EQ(RunCli(h + "modules list").code, 0);
  Result server = RunCli(h + "modules list --server");
  EXPECT_EQ(server.code, 10);
  EXPECT_TRUE(Has(server.err, "the Server database cannot be used")) << server.err;
}

}  // namespace
}  // namespace kr::cli
