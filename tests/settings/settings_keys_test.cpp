#include "settings/settings_keys.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <set>

#include "settings/config_files.h"
#include "settings_test_util.h"

namespace kr::test {
namespace {

std::map<std::string, std::string> AsMap(const std::vector<std::pair<std::string, std::string>>& list) {
  return std::map<std::string, std::string>(list.begin(), list.end());
}

// A context whose record holds a valid profile, saved.
struct Keys : ::testing::Test {
  TestContext t;
  Context& ctx = t.ctx;
  std::string cfgPath = t.home.path() + "/KelvaRANK.cfg";
  std::string defPath = t.home.path() + "/KelvaRANK.def";

  void SetUp() override {
    SettingsForm f = ValidForm();
    CopyFormToSettings(f, ctx.settings);
    SetDisplayDefaults(ctx.display);
    ASSERT_TRUE(SaveConfig(ctx));
    ASSERT_TRUE(SaveDefaults(ctx));
  }
};

TEST_F(Keys, ListCoversBothRecordsWithUniqueKeys) {
  auto list = ListSettings(ctx);
  std::set<std::string> names;
  for (auto& [k, v] : list) EXPECT_TRUE(names.insert(k).second) << "duplicate key " << k;
  // 15 general, 13 hardware, 30 processor, 144 memory, 7 + 18 + 5 + 8 + 2
  // drive, 13 display options, 8 slot texts, 7 pens.
  EXPECT_EQ(list.size(), 15u + 13 + 30 + 144 + 40 + 13 + 8 + 7);
  auto m = AsMap(list);
  const std::pair<const char*, const char*> expected[] = {
      {"general.username", "amy"},
      {"general.smtpport", "25"},
      {"general.report", "1"},
      {"general.comment", "fast machine"},
      {"processor.40thfibonacci.cache", "1"},
      {"processor.zlibfunctions.enabled", "0"},
      {"processor.mp32cdda.multitasking", "0"},
      {"memory.cpucacheread.loopsize", "256"},
      {"memory.copychiptochip.stop", "13"},
      {"drive.count.files", "2"},
      {"drive.start.readdevice", "3"},
      {"drive.cache.spinup", "1"},
      {"drive.partition", "/mnt/bench"},
      {"display.finescale", "50"},
      {"display.show.4", "1"},
      {"display.pen.0", "rFFFFFFFF,00000000,00000000"},
      {"display.pen.4", "m2"},
      {"display.slot.1.name", ""},
  };
  for (auto& [k, v] : expected) EXPECT_EQ(m[k], v) << k;
}

TEST_F(Keys, TextsAreShownAsUtf8WithControlCharactersEscaped) {
  ctx.settings.set_text(cfg::kUserName, cfg::kNameWidth, "J\xF6rg");
  ctx.settings.set_text(cfg::kRealName, cfg::kNameWidth, "\x1b]0;x\x07\x1b[2J\t\x7f\x9b");
  ctx.settings.setModuleComment("line one\nback\\slash");
  auto m = AsMap(ListSettings(ctx));
  EXPECT_EQ(m["general.username"], "J\xC3\xB6rg");
  EXPECT_EQ(m["general.realname"], "\\e]0;x\\x07\\e[2J\\t\\x7F\\x9B");
  EXPECT_EQ(m["general.comment"], "line one\\nback\\\\slash");
}

TEST_F(Keys, SetUpdatesAndSavesTheRecords) {
  std::string error;
  ASSERT_TRUE(ApplySettings(ctx,
                            {"general.username=J\xC3\xB6rg", "general.comment=a\\nb", "memory.13.loopsize=128",
                             "memory.copyfasttofast.enabled=on", "drive.accessmode=NSD-64", "Processor.3.Enabled=yes",
                             "display.drawmode=B-Splines", "display.pen.6=#FF8000"},
                            error))
      << error;
  EXPECT_EQ(ctx.settings.text(cfg::kUserName, cfg::kNameWidth), "J\xF6rg");
  EXPECT_EQ(ctx.settings.moduleComment(), "a\nb");
  EXPECT_EQ(ctx.settings.memLoopSize(13), 128);
  EXPECT_EQ(ctx.settings.memEnabled(13), 1);
  EXPECT_EQ(ctx.settings.accessMode(), 1);
  EXPECT_EQ(ctx.settings.procEnabled(3), 1);
  EXPECT_EQ(ctx.display.drawMode(), 1);
  EXPECT_EQ(ctx.display.penText(6), "rFFFFFFFF,80808080,00000000");
  // Saved: a restart reads the same.
  TestContext fresh;
  WriteHostFile(fresh.home.path() + "/KelvaRANK.cfg", ReadHostFile(cfgPath));
  WriteHostFile(fresh.home.path() + "/KelvaRANK.def", ReadHostFile(defPath));
  ASSERT_TRUE(LoadConfig(fresh.ctx));
  ASSERT_TRUE(LoadDefaults(fresh.ctx));
  EXPECT_EQ(fresh.ctx.settings.bytes, ctx.settings.bytes);
  EXPECT_EQ(fresh.ctx.display.bytes, ctx.display.bytes);
  EXPECT_EQ(fresh.ctx.display.pens, ctx.display.pens);
}

// The partition is kept as the file system names the folder (UTF-8 here),
// not converted to Latin-1, and shown as it is.
TEST_F(Keys, ThePartitionIsAHostPath) {
  std::string error;
  ASSERT_TRUE(ApplySettings(ctx, {"drive.partition=/mnt/M\xC3\xBCller \\x41"}, error)) << error;
  EXPECT_EQ(ctx.settings.partition(), "/mnt/M\xC3\xBCller \\x41");
  EXPECT_EQ(AsMap(ListSettings(ctx))["drive.partition"], "/mnt/M\xC3\xBCller \\x41");
}

TEST_F(Keys, SetGoesThroughTheSameRepair) {
  std::string error;
  ASSERT_TRUE(ApplySettings(ctx, {"memory.7.start=10", "memory.7.stop=5"}, error)) << error;
  EXPECT_EQ(ctx.settings.memSweepStart(7), 1);
  EXPECT_EQ(ctx.settings.memSweepStop(7), 14);
}

TEST_F(Keys, EveryListedValueSetsBackToTheSameRecords) {
  ctx.settings.setModuleComment(std::string(150, 'q') + "\n\xE9");
  ctx.settings.set_text(cfg::kLocation, cfg::kNameWidth, "K\xF8" "benhavn");
  ctx.settings.set_text(cfg::kRealName, cfg::kNameWidth, "\x1b[1m\x01\x9f\\x41\\");
  ASSERT_TRUE(SaveConfig(ctx));
  const SettingsRecord settings = ctx.settings;
  const DisplayRecord display = ctx.display;
  std::vector<std::string> all;
  for (auto& [k, v] : ListSettings(ctx))
    if (k.rfind("display.slot.", 0) != 0 && k != "display.optiona" && k != "display.optionb") all.push_back(k + "=" + v);
  std::string error;
  ASSERT_TRUE(ApplySettings(ctx, all, error)) << error;
  EXPECT_EQ(ctx.settings.bytes, settings.bytes);
  EXPECT_EQ(ctx.settings.moduleComment(), settings.moduleComment());
  EXPECT_EQ(ctx.display.bytes, display.bytes);
  EXPECT_EQ(ctx.display.pens, display.pens);
}

TEST_F(Keys, RefusedSetsChangeNothing) {
  struct Case {
    std::vector<std::string> assignments;
    const char* error;
  };
  const Case cases[] = {
      {{"general.nosuchkey=1"}, "unknown key 'general.nosuchkey' (\"settings show\" lists the keys)"},
      {{"memory.3.loopsize"}, "'memory.3.loopsize' is not KEY=VALUE"},
      {{"memory.3.loopsize=300"}, "memory.readfastlong.loopsize: 300 is out of range 8..256"},
      {{"memory.cpucacheread.loopsize=1025"}, "memory.cpucacheread.loopsize: 1025 is out of range 8..1024"},
      {{"memory.7.stop=15"}, "memory.readchipbyte.stop: 15 is out of range 1..14"},
      {{"memory.24.stop=1"}, "unknown key 'memory.24.stop' (\"settings show\" lists the keys)"},
      {{"drive.start.readdevice=2"}, "drive.start.readdevice: 2 is out of range 3..17"},
      {{"drive.count.files=4"}, "drive.count.files: 4 is out of range 1..3"},
      {{"general.smtpport=25x"}, "general.smtpport: '25x' is not a number"},
      {{"processor.1.enabled=maybe"},
       "processor.bogomips.enabled: 'maybe' is not on or off (use 1/0, on/off, yes/no, true/false)"},
      {{"general.username=" + std::string(33, 'u')}, "general.username: the text is 33 bytes long, at most 32 are allowed"},
      {{"general.comment=" + std::string(201, 'c')}, "general.comment: the text is 201 bytes long, at most 200 are allowed"},
      {{"general.username=\xE2\x82\xAC"}, "general.username: the text holds a character that ISO 8859-1 cannot store"},
      {{"general.username=a\\x4"}, "general.username: a backslash must be followed by n, t, e, xHH or another backslash"},
      {{"display.pen.2=red"}, "display.pen.2: 'red' is not a colour (rRRRRRRRR,GGGGGGGG,BBBBBBBB, mN or #RRGGBB)"},
      {{"display.slot.1.path=x"}, "display.slot.1.path cannot be set"},
      {{"hardware.busboard.vendor=10", "hardware.busboard.model=1"},
       "hardware.busboard.model: 1 is out of range 0..0 for vendor 10"},
      {{"hardware.controller.vendor=21"}, "hardware.controller.vendor: 21 is out of range 0..20"},
      // The pages' own validation, with its message.
      {{"memory.2.enabled=1", "general.username=(Your Username)"}, "ERROR: Change the default in General/Username:"},
      {{"general.smtpserver="},
       "WARNING: Enter your General/SMTP Server.\nIf you don't enter one you will be not able to send a module!"},
      {{"display.drawmode=1", "drive.partition="}, "ERROR: Choose a Partition"},
      // The partition folder is a host path: no ':' (it would end a volume
      // name), no control character, at most 63 bytes as the file system
      // names it; and the e-mail address only as name@domain.
      {{"drive.partition=/mnt/a:b"},
       "drive.partition: a folder name with ':' cannot be used (':' ends a volume name in the program's paths)"},
      {{"drive.partition=/mnt/a\tb"}, "drive.partition: the folder name holds a control character"},
      {{"drive.partition=/" + std::string(31, '\xC3') + std::string(31, '\xBC') + "x"},
       "drive.partition: the folder is 64 bytes long, at most 63 are allowed"},
      {{"general.email=a@b.org> SIZE=1"},
       "ERROR: Enter your General/E-Mail address as name@domain\n(no spaces, quotes or <>)"},
  };
  const std::vector<uint8_t> cfgBefore = ReadHostFile(cfgPath), defBefore = ReadHostFile(defPath);
  const SettingsRecord settings = ctx.settings;
  const DisplayRecord display = ctx.display;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.assignments[0]);
    std::string error;
    EXPECT_FALSE(ApplySettings(ctx, c.assignments, error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(ctx.settings.bytes, settings.bytes);
    EXPECT_EQ(ctx.display.bytes, display.bytes);
    EXPECT_EQ(ReadHostFile(cfgPath), cfgBefore);
    EXPECT_EQ(ReadHostFile(defPath), defBefore);
  }
  EXPECT_TRUE(t.requester.asked.empty());
}

// The key and the form are checked without a context, as the terminal does
// before it starts anything; values are left to ApplySettings.
TEST(KeyChecks, FormsKeysAndScopesWithoutAContext) {
  EXPECT_EQ(TestKeyName("40th Fibonacci"), "40thfibonacci");
  EXPECT_EQ(TestKeyName("Copy FAST to CHIP"), "copyfasttochip");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"processor.dhrystones.enabled=1", "memory.1.loopsize=999", "drive.cache.spinup=x"}, ""},
      {{"general.username=a", "bogus.key=1"}, "unknown key 'bogus.key' (\"settings show\" lists the keys)"},
      {{"noequals"}, "'noequals' is not KEY=VALUE"},
      {{"=1"}, "'=1' is not KEY=VALUE"},
      {{"display.slot.2.name=x"}, "display.slot.2.name cannot be set"},
  };
  for (const auto& [assignments, error] : cases) EXPECT_EQ(CheckAssignmentForms(assignments), error) << assignments[0];
  for (const char* scope : {"general", "Processor", "memory", "drive", "tests", "all", "display"})
    EXPECT_EQ(CheckResetScope(scope), "") << scope;
  EXPECT_EQ(CheckResetScope("bogus"), "unknown scope 'bogus' (general, processor, memory, drive, tests, all, display)");
}

TEST_F(Keys, ChartOptionsDoNotDependOnTheSettingsPages) {
  ResetSettings(ctx, ResetScope::Everything);  // the placeholder profile, which the pages refuse
  ASSERT_TRUE(SaveConfig(ctx));
  const std::vector<uint8_t> cfgBefore = ReadHostFile(cfgPath);
  std::string error;
  ASSERT_TRUE(ApplySettings(ctx, {"display.showmode=Relative", "display.show.2=off"}, error)) << error;
  EXPECT_EQ(ctx.display.showMode(), 1);
  EXPECT_EQ(ctx.display.showModule(1), 0);
  EXPECT_EQ(ReadHostFile(defPath)[4 + 3], 1);
  EXPECT_EQ(ReadHostFile(cfgPath), cfgBefore);
}

TEST_F(Keys, FailedSaveChangesNothing) {
  const SettingsRecord settings = ctx.settings;
  const std::vector<uint8_t> cfgBefore = ReadHostFile(cfgPath);
  t.dos.AddFault({"rename", "KelvaRANK.cfg", EIO});
  std::string error;
  EXPECT_FALSE(ApplySettings(ctx, {"memory.1.enabled=1"}, error));
  EXPECT_EQ(error, "could not save the settings into " + cfgPath);
  EXPECT_EQ(ctx.settings.bytes, settings.bytes);
  EXPECT_EQ(ReadHostFile(cfgPath), cfgBefore);
}

TEST_F(Keys, ResetScopes) {
  std::string error;
  ASSERT_TRUE(ApplySettings(ctx, {"memory.3.loopsize=200", "processor.2.enabled=1", "display.roughscale=20"}, error));
  ASSERT_TRUE(ResetSettingsScope(ctx, "memory", error)) << error;
  EXPECT_EQ(ctx.settings.memLoopSize(3), 64);
  EXPECT_EQ(ctx.settings.procEnabled(2), 1);
  ASSERT_TRUE(ResetSettingsScope(ctx, "tests", error)) << error;
  EXPECT_EQ(ctx.settings.procEnabled(2), 0);
  EXPECT_EQ(ctx.settings.text(cfg::kUserName, cfg::kNameWidth), "amy");
  ASSERT_TRUE(ResetSettingsScope(ctx, "display", error)) << error;
  EXPECT_EQ(ctx.display.roughScale(), 5);
  // "general" puts the profile back and keeps the test pages.
  ASSERT_TRUE(ApplySettings(ctx, {"processor.2.enabled=1"}, error)) << error;
  ASSERT_TRUE(ResetSettingsScope(ctx, "general", error)) << error;
  EXPECT_EQ(ctx.settings.text(cfg::kUserName, cfg::kNameWidth), "(Your Username)");
  EXPECT_EQ(ctx.settings.procEnabled(2), 1);
  EXPECT_EQ(ReadHostFile(cfgPath)[cfg::kProcEnabled + 4 * 2 + 3], 1);
  ASSERT_TRUE(ResetSettingsScope(ctx, "all", error)) << error;
  EXPECT_EQ(ctx.settings.text(cfg::kUserName, cfg::kNameWidth), "(Your Username)");
  std::vector<uint8_t> saved = ReadHostFile(cfgPath);
  ASSERT_EQ(saved.size(), 2452u);
  EXPECT_TRUE(std::equal(saved.begin(), saved.end(), ctx.settings.bytes.begin()));
  // After "all" the profile is the placeholder one: a page reset is refused
  // by the same validation as the pages' "Use".
  EXPECT_FALSE(ResetSettingsScope(ctx, "processor", error));
  EXPECT_EQ(error, "ERROR: Change the default in General/Username:");
  EXPECT_FALSE(ResetSettingsScope(ctx, "everything", error));
  EXPECT_EQ(error, "unknown scope 'everything' (general, processor, memory, drive, tests, all, display)");
}

}  // namespace
}  // namespace kr::test
