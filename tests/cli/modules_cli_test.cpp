#include <sys/wait.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "cli/run_cli.h"
#include "modules/module_fixture.h"
#include "modules/module_record.h"

namespace kr::cli {
namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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

}  // namespace
}  // namespace kr::cli
