#include "settings/config_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/errorlog.h"
#include "settings_test_util.h"

namespace kr::test {
namespace {

struct ConfigFiles : ::testing::Test {
  TestContext t;
  Context& ctx = t.ctx;
  std::string cfgPath = t.home.path() + "/KelvaRANK.cfg";
  std::string defPath = t.home.path() + "/KelvaRANK.def";
  std::string commentPath = t.home.path() + "/KelvaRANK.comment";

  // The comment side files in the home, by name.
  std::vector<std::string> SideFiles() {
    std::vector<DirEntry> entries;
    std::vector<std::string> names;
    if (t.dos.ListDir("PROGDIR:", entries))
      for (const DirEntry& e : entries)
        if (e.name.rfind("KelvaRANK.comment", 0) == 0) names.push_back(e.name);
    return names;
  }

  bool LoggedOnce(std::string_view loc, std::string_view fn, std::string_view reason) const {
    int n = 0;
    for (const ErrorEntry& e : ctx.errorLog.entries)
      if (loc == e.location && fn == e.function && reason == e.reason) ++n;
    return n == 1;
  }
};

int32_t BE32(const std::vector<uint8_t>& b, size_t off) { return GetS32(b.data() + off); }
std::string TextAt(const std::vector<uint8_t>& b, size_t off, size_t width) {
  return std::string(GetText(b.data() + off, width));
}

// A first start: the record and form are reset (every page) and saved.
TEST_F(ConfigFiles, FirstConfigHoldsTheDefaultsAtTheirOffsets) {
  ctx.settings.Clear();
  ResetSettings(ctx, ResetScope::Everything);
  ASSERT_TRUE(SaveConfig(ctx));
  std::vector<uint8_t> b = ReadHostFile(cfgPath);
  ASSERT_EQ(b.size(), 2452u);

  struct Num { size_t off; int32_t value; };
  const Num nums[] = {
      {0, 1},  {4, 1},  {8, 0},  {12, 0}, {16, 0}, {20, 1},  {24, 0},  {28, 0},  {32, 0},
      {36, 0}, {40, 0}, {44, 0}, {48, 0}, {52, 0}, {56, 0},  {60, 0},  {1564, 25},
  };
  for (const Num& n : nums) EXPECT_EQ(BE32(b, n.off), n.value) << "offset " << n.off;
  for (size_t off = 64; off < 84; ++off) EXPECT_EQ(b[off], 0) << "unused byte " << off;

  struct Text { size_t off, width; const char* value; };
  const Text texts[] = {
      {84, 32, ""},
      {116, 32, ""},
      {148, 32, ""},
      {180, 32, ""},
      {212, 64, "(Your Username)"},
      {276, 64, "(Your Realname)"},
      {340, 64, "(Your Location)"},
      {404, 128, "(Your E-Mail)"},
      {532, 64, "(Your SMTP Server)"},
      {596, 256, "(Your Homepage)"},
      {852, 256, "PROGDIR:Reports/KR_Report_00.00.00_00.00.00.txt"},
      {1108, 256, "CON:///100/KelvaRANK Errorlog/AUTO/CLOSE"},
      {1364, 136, "Here you can enter a maximal 200 bytes long comment.\nThis would be saved to the module..."},
      {1500, 64, "(Partition used)"},
  };
  for (const Text& x : texts) EXPECT_EQ(TextAt(b, x.off, x.width), x.value) << "offset " << x.off;

  for (int k = 0; k <= 10; ++k) {
    EXPECT_EQ(BE32(b, 1568 + 4 * k), 0) << "processor enabled " << k;
    EXPECT_EQ(BE32(b, 1612 + 4 * k), k == 0 ? 0 : 1) << "processor cache " << k;
    EXPECT_EQ(BE32(b, 1656 + 4 * k), 0) << "processor multitasking " << k;
  }
  // Memory: loop size and last step per catalogue position.
  const int32_t loop[24] = {256, 64, 64, 64, 64, 64, 64, 8, 8, 8, 8, 8, 8, 64, 8, 8, 8, 64, 8, 64, 8, 64, 64, 64};
  const int32_t stop[24] = {17, 17, 17, 17, 17, 17, 17, 14, 14, 14, 14, 14, 14, 17, 14, 14, 13, 17, 14, 17, 14, 13, 13, 13};
  for (int p = 0; p < 26; ++p) {
    EXPECT_EQ(BE32(b, 1700 + 4 * p), 0) << "memory enabled " << p;
    EXPECT_EQ(BE32(b, 1804 + 4 * p), p < 24 ? 1 : 0) << "memory cache " << p;
    EXPECT_EQ(BE32(b, 1908 + 4 * p), 0) << "memory multitasking " << p;
  }
  for (int p = 0; p < 24; ++p) {
    EXPECT_EQ(BE32(b, 2012 + 4 * p), loop[p]) << "memory loop size " << p;
    EXPECT_EQ(BE32(b, 2108 + 4 * p), 1) << "memory start " << p;
    EXPECT_EQ(BE32(b, 2204 + 4 * p), stop[p]) << "memory stop " << p;
  }
  for (int i = 0; i < 7; ++i) EXPECT_EQ(BE32(b, 2300 + 4 * i), 0) << "drive enabled " << i;
  for (int i = 0; i < 18; ++i) EXPECT_EQ(BE32(b, 2328 + 4 * i), 1) << "drive cache " << i;
  const int32_t count[5] = {2, 16, 16, 16, 16}, start[4] = {1, 1, 3, 3};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(BE32(b, 2400 + 4 * i), count[i]) << "drive count " << i;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(BE32(b, 2420 + 4 * i), start[i]) << "drive start " << i;
    EXPECT_EQ(BE32(b, 2436 + 4 * i), 17) << "drive stop " << i;
  }
  // The pages show the same defaults.
  EXPECT_EQ(ctx.form.userName, "(Your Username)");
  EXPECT_EQ(ctx.form.memSweepStop[16], 13);
  EXPECT_EQ(ctx.form.driveSweepStart[2], 3);
}

TEST_F(ConfigFiles, FirstDefaultsFileHoldsTheDisplayDefaultsAndSevenColours) {
  ResetDisplaySettings(ctx);
  ASSERT_TRUE(SaveDefaults(ctx));
  std::vector<uint8_t> b = ReadHostFile(defPath);
  ASSERT_EQ(b.size(), 2352u);
  const int32_t head[13] = {0, 0, 0, 0, 0, 0, 0, 50, 5, 1, 1, 1, 1};
  for (size_t i = 0; i < 13; ++i) EXPECT_EQ(BE32(b, 4 * i), head[i]) << "offset " << 4 * i;
  for (size_t off = 52; off < 2128; ++off) ASSERT_EQ(b[off], 0) << "offset " << off;
  const char* pens[7] = {"rFFFFFFFF,00000000,00000000", "r00000000,FFFFFFFF,00000000", "r00000000,00000000,FFFFFFFF",
                         "rFFFFFFFF,FFFFFFFF,00000000", "m2", "r00000000,00000000,00000000",
                         "rFFFFFFFF,FFFFFFFF,FFFFFFFF"};
  for (size_t i = 0; i < 7; ++i) {
    size_t off = 2128 + 32 * i;
    EXPECT_EQ(TextAt(b, off, 32), pens[i]) << "pen " << i;
    for (size_t j = std::strlen(pens[i]); j < 32; ++j) EXPECT_EQ(b[off + j], 0) << "pen " << i << " byte " << j;
  }
}

TEST_F(ConfigFiles, SaveAndLoadKeepEveryByte) {
  // Bytes after a terminator are kept as they are.
  SetBuiltinDefaults(ctx.settings);
  ctx.settings.set_text(cfg::kUserName, cfg::kNameWidth, "J\xF6rg");
  ctx.settings.bytes[cfg::kUserName + 40] = 0x5A;
  ctx.settings.setMemLoopSize(3, 200);
  ctx.settings.setDriveEnabled(5, 1);
  for (size_t i = 0; i < disp::kSize; ++i) ctx.display.bytes[i] = uint8_t(i * 13);
  ctx.display.set_s32(disp::kDrawMode, 1);
  ctx.display.set_s32(disp::kMasterSection, 2);
  ctx.display.set_s32(disp::kSlaveSection, 5);
  ctx.display.set_s32(disp::kFineScale, 30);
  ctx.display.set_s32(disp::kRoughScale, 9);
  ctx.display.set_s32(disp::kShowMode, 0);
  ctx.display.set_s32(disp::kSplineMode, 1);
  for (size_t i = 0; i < 7; ++i) ctx.display.pens[i] = DefaultPenText(int(6 - i));
  ctx.display.pens[3][30] = 0x77;  // after the terminator
  SettingsRecord settings = ctx.settings;
  DisplayRecord display = ctx.display;
  ASSERT_TRUE(SaveConfig(ctx));
  ASSERT_TRUE(SaveDefaults(ctx));

  ctx.settings.Clear();
  ctx.display.Clear();
  ctx.display.pens = {};
  ASSERT_TRUE(LoadConfig(ctx));
  ASSERT_TRUE(LoadDefaults(ctx));
  EXPECT_EQ(ctx.settings.bytes, settings.bytes);
  EXPECT_EQ(ctx.display.bytes, display.bytes);
  EXPECT_EQ(ctx.display.pens, display.pens);
  EXPECT_EQ(ctx.form.userName, "J\xF6rg");
  EXPECT_EQ(ctx.form.memLoopSize[3], 200);
  EXPECT_TRUE(ctx.errorLog.entries.empty());
}

TEST_F(ConfigFiles, DeviceWriteAndSpinUpAreNeverStoredAsOn) {
  for (int i = 0; i < 7; ++i) ctx.settings.setDriveEnabled(i, 1);
  ASSERT_TRUE(SaveConfig(ctx));
  std::vector<uint8_t> b = ReadHostFile(cfgPath);
  ASSERT_EQ(b.size(), 2452u);
  const int32_t stored[7] = {1, 1, 1, 1, 0, 1, 0};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(BE32(b, 2300 + 4 * size_t(i)), stored[i]) << "drive enabled " << i;
  // The switches stay on while the program runs.
  EXPECT_EQ(ctx.settings.driveEnabled(4), 1);
  EXPECT_EQ(ctx.settings.driveEnabled(6), 1);
}

TEST_F(ConfigFiles, LongCommentSurvivesARestartBesideTheFixedLayout) {
  std::string comment(200, 'c');
  for (size_t i = 0; i < comment.size(); ++i) comment[i] = char('a' + i % 26);
  ctx.settings.setModuleComment(comment);
  ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, "/mnt/bench");
  ctx.settings.set_s32(cfg::kSmtpPort, 2525);
  ASSERT_TRUE(SaveConfig(ctx));
  std::vector<uint8_t> b = ReadHostFile(cfgPath);
  ASSERT_EQ(b.size(), 2452u);
  EXPECT_EQ(TextAt(b, 1364, 136), comment.substr(0, 135));
  EXPECT_EQ(b[1364 + 135], 0);
  EXPECT_EQ(TextAt(b, 1500, 64), "/mnt/bench");
  EXPECT_EQ(BE32(b, 1564), 2525);

  // A restart: fresh records, the files read again.
  TestContext fresh;
  WriteHostFile(fresh.home.path() + "/KelvaRANK.cfg", b);
  ASSERT_EQ(SideFiles().size(), 1u);
  for (const std::string& name : SideFiles())
    WriteHostFile(fresh.home.path() + "/" + name, ReadHostFile(t.home.path() + "/" + name));
  ASSERT_TRUE(LoadConfig(fresh.ctx));
  EXPECT_EQ(fresh.ctx.settings.moduleComment(), comment);
  EXPECT_EQ(fresh.ctx.form.comment, comment);
  EXPECT_EQ(fresh.ctx.settings.partition(), "/mnt/bench");
}

TEST_F(ConfigFiles, CommentSideFileCountsOnlyWhileItContinuesTheRecord) {
  std::string longText(180, 'x');
  ctx.settings.setModuleComment(longText);
  ASSERT_TRUE(SaveConfig(ctx));
  ASSERT_EQ(SideFiles().size(), 1u);

  // The .cfg replaced by one with another comment: the side file is stale.
  SettingsRecord other;
  SetBuiltinDefaults(other);
  other.setModuleComment(std::string(135, 'y'));
  WriteHostFile(cfgPath, std::vector<uint8_t>(other.bytes.begin(), other.bytes.end()));
  ASSERT_TRUE(LoadConfig(ctx));
  EXPECT_EQ(ctx.settings.moduleComment(), std::string(135, 'y'));

  // A short comment needs no side file: saving removes the old one.
  ctx.settings.setModuleComment("short");
  ASSERT_TRUE(SaveConfig(ctx));
  EXPECT_TRUE(SideFiles().empty());
  ASSERT_TRUE(LoadConfig(ctx));
  EXPECT_EQ(ctx.settings.moduleComment(), "short");
}

// The comment and its side file change together: a process killed between
// the two renames (the second one never happens) leaves the old pair, one
// killed after them leaves the new pair; never a mix of the two.
TEST_F(ConfigFiles, CommentAndSideFileChangeAsOne) {
  auto text = [](char first) {
    std::string c(200, ' ');
    for (size_t i = 0; i < c.size(); ++i) c[i] = char(first + i % 20);
    return c;
  };
  const std::string oldComment = text('a'), newComment = text('A');
  ctx.settings.setModuleComment(oldComment);
  ASSERT_TRUE(SaveConfig(ctx));

  auto loadedAfterRestart = [&] {
    TestContext fresh;
    FakeDos again(t.home.path(), t.ram.path());
    Context c{fresh.exec, fresh.timer, again, fresh.requester, fresh.status};
    EXPECT_TRUE(LoadConfig(c));
    return std::string(c.settings.moduleComment());
  };

  // Killed after the first rename.
  ctx.settings.setModuleComment(newComment);
  t.dos.AddFault({"rename", "", EINTR, 1, 1});
  EXPECT_FALSE(SaveConfig(ctx));
  EXPECT_EQ(loadedAfterRestart(), oldComment);

  // Killed after both renames, before the old side file is removed.
  t.dos.ClearFaults();
  t.dos.AddFault({"unlink", "", EINTR});
  ASSERT_TRUE(SaveConfig(ctx));
  EXPECT_EQ(loadedAfterRestart(), newComment);
  t.dos.ClearFaults();

  // The next save tidies up: one side file, the one of the .cfg on disk.
  ctx.settings.set_s32(cfg::kSmtpPort, 2526);
  ASSERT_TRUE(SaveConfig(ctx));
  EXPECT_EQ(SideFiles().size(), 1u);
  EXPECT_EQ(loadedAfterRestart(), newComment);
}

// A home from before the side file was named after its .cfg still loads
// its long comment; the next save moves it to the new name.
TEST_F(ConfigFiles, OldCommentSideFileStillLoads) {
  SettingsRecord old;
  SetBuiltinDefaults(old);
  const std::string comment = std::string(135, 'q') + "tail of the comment";
  old.setModuleComment(comment);
  WriteHostFile(cfgPath, std::vector<uint8_t>(old.bytes.begin(), old.bytes.end()));
  WriteHostFile(commentPath, comment);
  ASSERT_TRUE(LoadConfig(ctx));
  EXPECT_EQ(ctx.settings.moduleComment(), comment);
  ctx.settings.set_s32(cfg::kSmtpPort, 2526);
  ASSERT_TRUE(SaveConfig(ctx));
  EXPECT_FALSE(HostFileExists(commentPath));
  ASSERT_EQ(SideFiles().size(), 1u);
  ASSERT_TRUE(LoadConfig(ctx));
  EXPECT_EQ(ctx.settings.moduleComment(), comment);
}

// Two processes on one home: each save keeps the other's changes to fields
// it left alone, and one that changed nothing writes nothing.
TEST_F(ConfigFiles, SavesKeepAnotherProcesssChanges) {
  ASSERT_TRUE(SaveConfig(ctx));
  ASSERT_TRUE(SaveDefaults(ctx));
  ASSERT_TRUE(LoadConfig(ctx));
  ASSERT_TRUE(LoadDefaults(ctx));

  TestContext side;  // the other process's services, on the same home
  FakeDos otherDos(t.home.path(), t.ram.path());
  Context other{side.exec, side.timer, otherDos, side.requester, side.status};
  ASSERT_TRUE(LoadConfig(other));
  ASSERT_TRUE(LoadDefaults(other));
  other.settings.set_s32(cfg::kSmtpPort, 5555);
  other.display.set_s32(disp::kRoughScale, 9);
  ASSERT_TRUE(SaveConfig(other));
  ASSERT_TRUE(SaveDefaults(other));

  // This one changed nothing: its saves leave the files alone.
  struct stat before {}, after {};
  ASSERT_EQ(::stat(cfgPath.c_str(), &before), 0);
  ASSERT_TRUE(SaveConfig(ctx));
  ASSERT_TRUE(SaveDefaults(ctx));
  ASSERT_EQ(::stat(cfgPath.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the .cfg was written again";
  EXPECT_EQ(BE32(ReadHostFile(cfgPath), cfg::kSmtpPort), 5555);
  EXPECT_EQ(BE32(ReadHostFile(defPath), disp::kRoughScale), 9);

  // Now it changes another field: both changes are kept, here and on disk.
  ctx.settings.set_text(cfg::kUserName, cfg::kNameWidth, "second");
  ASSERT_TRUE(SaveConfig(ctx));
  std::vector<uint8_t> b = ReadHostFile(cfgPath);
  EXPECT_EQ(BE32(b, cfg::kSmtpPort), 5555);
  EXPECT_EQ(TextAt(b, cfg::kUserName, cfg::kNameWidth), "second");
  EXPECT_EQ(ctx.settings.s32(cfg::kSmtpPort), 5555);

  // A field both changed: the later save wins.
  other.settings.set_s32(cfg::kSmtpPort, 6666);
  ctx.settings.set_s32(cfg::kSmtpPort, 7777);
  ASSERT_TRUE(SaveConfig(other));
  ASSERT_TRUE(SaveConfig(ctx));
  EXPECT_EQ(BE32(ReadHostFile(cfgPath), cfg::kSmtpPort), 7777);
  EXPECT_EQ(TextAt(ReadHostFile(cfgPath), cfg::kUserName, cfg::kNameWidth), "second");
}

TEST_F(ConfigFiles, MissingFilesAreLoggedAndLeaveTheRecords) {
  SetBuiltinDefaults(ctx.settings);
  ctx.settings.setMemLoopSize(0, 512);
  SettingsRecord settings = ctx.settings;
  SetDisplayDefaults(ctx.display);
  ctx.display.set_s32(disp::kFineScale, 42);
  DisplayRecord display = ctx.display;
  EXPECT_FALSE(ConfigExists(ctx));
  EXPECT_FALSE(DefaultsExists(ctx));
  EXPECT_FALSE(LoadConfig(ctx));
  EXPECT_FALSE(LoadDefaults(ctx));
  EXPECT_TRUE(LoggedOnce("CONFIG", "LoadConfig", "Error loading config!"));
  EXPECT_TRUE(LoggedOnce("DEFAULTS", "LoadDefaults", "Error loading defaults!"));
  EXPECT_EQ(ctx.settings.bytes, settings.bytes);
  EXPECT_EQ(ctx.display.bytes, display.bytes);
  EXPECT_EQ(ctx.display.pens, display.pens);
}

TEST_F(ConfigFiles, ShortAndLongFilesFillTheRecordFromTheirStart) {
  SettingsRecord image;
  SetBuiltinDefaults(image);
  image.set_text(cfg::kUserName, cfg::kNameWidth, "from file");
  std::vector<uint8_t> bytes(image.bytes.begin(), image.bytes.end());

  // Short: the first 300 bytes land, the rest of the record stays.
  SetBuiltinDefaults(ctx.settings);
  ctx.settings.setMemLoopSize(5, 128);
  WriteHostFile(cfgPath, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 300));
  ASSERT_TRUE(LoadConfig(ctx));
  EXPECT_EQ(ctx.settings.text(cfg::kUserName, cfg::kNameWidth), "from file");
  EXPECT_EQ(ctx.settings.memLoopSize(5), 128);

  // Long: only the record's 2452 bytes are taken.
  std::vector<uint8_t> longer(5000, 0xEE);
  std::copy(bytes.begin(), bytes.end(), longer.begin());
  WriteHostFile(cfgPath, longer);
  ASSERT_TRUE(LoadConfig(ctx));
  EXPECT_EQ(ctx.settings.bytes, image.bytes);

  // The defaults file likewise: a short one fills the record from its start.
  SetDisplayDefaults(ctx.display);
  std::vector<uint8_t> def(100, 0);
  PutS32(def.data() + disp::kDrawMode, 1);
  WriteHostFile(defPath, def);
  ASSERT_TRUE(LoadDefaults(ctx));
  EXPECT_EQ(ctx.display.drawMode(), 1);
  EXPECT_EQ(ctx.display.fineScale(), 0 + 50);  // beyond the file: kept
  EXPECT_EQ(ctx.display.penText(4), "m2");
}

TEST_F(ConfigFiles, GarbageFilesOfTheRightLengthLoadWithoutHarm) {
  std::vector<uint8_t> junk(2452);
  uint32_t x = 12345;
  for (uint8_t& c : junk) c = uint8_t((x = x * 1103515245u + 12345u) >> 24);
  WriteHostFile(cfgPath, junk);
  ASSERT_TRUE(LoadConfig(ctx));
  EXPECT_TRUE(LoggedOnce("CONFIG", "LoadConfig", "Settings out of range set to defaults"));
  for (int p = 0; p < 24; ++p) {
    Range loop = MemLoopSizeRange(p), sweep = MemSweepRange(p);
    EXPECT_GE(ctx.settings.memLoopSize(p), loop.min);
    EXPECT_LE(ctx.settings.memLoopSize(p), loop.max);
    EXPECT_GE(ctx.settings.memSweepStart(p), sweep.min);
    EXPECT_LE(ctx.settings.memSweepStop(p), sweep.max);
  }
  for (int i = 0; i < 4; ++i) EXPECT_GE(ctx.settings.driveSweepStart(i), DriveSweepRange(i).min);
  EXPECT_LE(ctx.settings.driveCount(0), 3);
  EXPECT_LE(ctx.settings.accessMode(), 1);
  // Text fields without a terminator end at their field.
  EXPECT_LE(ctx.form.userName.size(), 64u);
  EXPECT_LE(ctx.form.partition.size(), 64u);
  // The file itself is not rewritten.
  EXPECT_EQ(ReadHostFile(cfgPath), junk);

  std::vector<uint8_t> defJunk(2352, 0xA5);
  WriteHostFile(defPath, defJunk);
  ASSERT_TRUE(LoadDefaults(ctx));
  EXPECT_EQ(ctx.display.drawMode(), 0);
  EXPECT_EQ(ctx.display.masterSection(), 0);
  EXPECT_EQ(ctx.display.slaveSection(), 0);
  EXPECT_GT(ctx.display.fineScale(), 0);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(ctx.display.pens[size_t(i)], DefaultPenText(i)) << "pen " << i;
}

// Saving on a disk that fills up, or where the new file cannot be made or
// renamed: a clear entry, the old file whole, no temporary file left behind,
// and the dos layer names the file and the system's reason.
TEST_F(ConfigFiles, FailedSavesKeepTheOldFiles) {
  ASSERT_TRUE(SaveConfig(ctx));
  ASSERT_TRUE(SaveDefaults(ctx));
  std::vector<uint8_t> oldCfg = ReadHostFile(cfgPath), oldDef = ReadHostFile(defPath);
  const std::pair<FakeDos::Fault, std::string> faults[] = {
      {{"write", "", ENOSPC}, ": No space left on device"},
      {{"open", "", EACCES}, ": Permission denied"},
      {{"fsync", "", EIO}, ": Input/output error"},
      {{"close", "", EIO}, ": Input/output error"},
      {{"rename", "", EROFS}, ": Read-only file system"},
  };
  int32_t round = 0;
  for (const auto& [fault, why] : faults) {
    SCOPED_TRACE(fault.call);
    ++round;
    t.dos.ClearFaults();
    t.dos.AddFault(fault);
    ctx.errorLog.entries.clear();
    ctx.settings.set_text(cfg::kUserName, cfg::kNameWidth, "changed " + fault.call);
    ctx.display.set_s32(disp::kFineScale, 100 + round);
    EXPECT_FALSE(SaveConfig(ctx));
    EXPECT_EQ(t.dos.LastErrorText().substr(0, fault.call.size() + 1), fault.call + " ");
    EXPECT_NE(t.dos.LastErrorText().find(cfgPath + why), std::string::npos) << t.dos.LastErrorText();
    EXPECT_FALSE(SaveDefaults(ctx));
    EXPECT_NE(t.dos.LastErrorText().find(defPath + why), std::string::npos) << t.dos.LastErrorText();
    EXPECT_TRUE(LoggedOnce("CONFIG", "SaveConfig", "Error saving config!"));
    EXPECT_TRUE(LoggedOnce("DEFAULTS", "SaveDefaults", "Error saving defaults!"));
    EXPECT_EQ(ReadHostFile(cfgPath), oldCfg);
    EXPECT_EQ(ReadHostFile(defPath), oldDef);
    std::vector<DirEntry> left;
    ASSERT_TRUE(t.dos.ListDir("PROGDIR:", left));
    for (const DirEntry& e : left) EXPECT_EQ(e.name.find(".new"), std::string::npos) << e.name;
  }

  // A disk with room for part of the file only.
  t.dos.ClearFaults();
  t.dos.spaceLeft = 1000;
  EXPECT_FALSE(SaveConfig(ctx));
  EXPECT_EQ(t.dos.LastErrorText(), "write " + cfgPath + ": No space left on device");
  EXPECT_EQ(ReadHostFile(cfgPath), oldCfg);
}

// A home the program may not change (a read-only mount, or a folder without
// write permission): nothing is made, every save says so.
TEST_F(ConfigFiles, ReadOnlyHome) {
  t.dos.readOnly = true;
  EXPECT_FALSE(SaveConfig(ctx));
  EXPECT_FALSE(SaveDefaults(ctx));
  EXPECT_FALSE(HostFileExists(cfgPath));
  std::vector<DirEntry> left;
  ASSERT_TRUE(t.dos.ListDir("PROGDIR:", left));
  for (const DirEntry& e : left) EXPECT_TRUE(e.isDir) << e.name;
  EXPECT_TRUE(LoggedOnce("CONFIG", "SaveConfig", "Error saving config!"));
  EXPECT_EQ(t.dos.LastErrorText(), "open " + defPath + ": Read-only file system");
}

TEST_F(ConfigFiles, ResetScopesTouchTheirPagesOnly) {
  // Every page away from its defaults, in the record and the pages.
  SettingsForm changed = ValidForm();
  changed.procEnabled[3] = true;
  changed.memLoopSize[0] = 512;
  changed.driveCount[0] = 3;
  changed.partition = "/mnt/x";
  CopyFormToSettings(changed, ctx.settings);
  const SettingsRecord record = ctx.settings;
  using S = ResetScope;
  struct Case { S scope; bool general, processor, memory, drive; };
  const Case cases[] = {
      {S::Processor, false, true, false, false}, {S::Memory, false, false, true, false},
      {S::Drive, false, false, false, true},     {S::TestPages, false, true, true, true},
      {S::Everything, true, true, true, true},
  };
  for (const Case& c : cases) {
    ctx.settings = record;
    ctx.form = changed;
    ResetSettings(ctx, c.scope);
    SCOPED_TRACE("scope " + std::to_string(int(c.scope)));
    EXPECT_EQ(ctx.form.userName == "(Your Username)", c.general);
    EXPECT_EQ(ctx.form.partition == "(Partition used)", c.general);
    EXPECT_EQ(!ctx.form.procEnabled[3], c.processor);
    EXPECT_EQ(ctx.form.memLoopSize[0] == 256, c.memory);
    EXPECT_EQ(ctx.form.driveCount[0] == 2, c.drive);
    // Only a reset of everything writes the record.
    if (c.scope == S::Everything) {
      SettingsRecord defaults;
      SetBuiltinDefaults(defaults);
      EXPECT_EQ(ctx.settings.bytes, defaults.bytes);
    } else {
      EXPECT_EQ(ctx.settings.bytes, record.bytes);
    }
  }
}

}  // namespace
}  // namespace kr::test

namespace kr::test {
namespace {

TEST(ChartControls, ReadingTheControlsReplacesOnlyNonEmptySlotLabels) {
  DisplayRecord d;
  SetDisplayDefaults(d);
  d.set_s32(disp::kOptionA, 7);
  d.set_s32(disp::kOptionB, 8);
  std::memset(d.data() + disp::kSlotName, 'x', disp::kSlotWidth);  // an old, longer name
  d.set_text(disp::kSlotName + disp::kSlotWidth, disp::kSlotWidth, "kept (name)");
  d.set_text(disp::kSlotPath, disp::kSlotWidth, "PROGDIR:Database/Local/abc.dbe");
  DisplayControls c = DisplayControlsFrom(d);
  EXPECT_EQ(c.fineScale, 50);
  EXPECT_EQ(c.slotLabel[1], "kept (name)");
  c.slotLabel = {"Amy Example (amy)", "", "", ""};
  c.drawMode = 1;
  c.masterSection = 3;
  c.slaveSection = 4;
  c.roughScale = 7;
  c.showModule = {true, false, true, false};
  const DisplayRecord before = d;
  ReadDisplaySettings(d, c);
  EXPECT_EQ(d.slotName(0), "Amy Example (amy)");
  for (size_t i = 17; i < disp::kSlotWidth; ++i) ASSERT_EQ(d.bytes[disp::kSlotName + i], 0) << i;
  EXPECT_EQ(d.slotName(1), "kept (name)");
  EXPECT_EQ(d.slotPath(0), "PROGDIR:Database/Local/abc.dbe");
  EXPECT_EQ(d.s32(disp::kOptionA), 7);
  EXPECT_EQ(d.s32(disp::kOptionB), 8);
  EXPECT_EQ(d.drawMode(), 1);
  EXPECT_EQ(d.masterSection(), 3);
  EXPECT_EQ(d.slaveSection(), 4);
  EXPECT_EQ(d.roughScale(), 7);
  EXPECT_EQ(d.showModule(1), 0);
  EXPECT_EQ(d.showModule(2), 1);
  EXPECT_EQ(d.pens, before.pens);
}

}  // namespace
}  // namespace kr::test
