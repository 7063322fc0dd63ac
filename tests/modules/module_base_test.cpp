#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "modules/module_base.h"
#include "modules/module_fixture.h"

namespace kr {
namespace {

namespace fs = std::filesystem;
using test::ModuleContext;

// Every file below a folder, as paths relative to it.
std::set<std::string> FilesBelow(const std::string& root) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) out.insert(fs::relative(e.path(), root).string());
  return out;
}

using test::TextAt;

// Makes a module in t's Local database; returns its serial.
std::string MakeLocalModule(ModuleContext& t) {
  FillResult r = FillModuleHeader(t.ctx);
  EXPECT_EQ(r.add, AddResult::Added);
  EXPECT_TRUE(r.indexSaved);
  return std::string(ModuleSerial(t.ctx.results));
}

TEST(ModuleBase, MadeModuleIsFiledAndIndexedWithTheOtherRule) {
  ModuleContext t;
  std::string serial = MakeLocalModule(t);
  EXPECT_TRUE(IsInDatabase(t.ctx, serial, Database::Local));
  EXPECT_EQ(test::ReadHostFile(t.Home("Database/Local/" + serial + ".dbe")).size(), 9504u);

  // The index on disk: count "1", then one 1003-byte entry.
  std::vector<uint8_t> index = test::ReadHostFile(t.Home("Database/Local/database.dbi"));
  ASSERT_EQ(index.size(), 10u + 1003u);
  EXPECT_EQ(TextAt(index, 0, 10), "1");
  const size_t e = 10;
  EXPECT_EQ(std::vector<uint8_t>(index.begin() + e, index.begin() + e + 12), std::vector<uint8_t>(12, 0));
  EXPECT_EQ(GetS32(index.data() + e + 12), -1);
  EXPECT_EQ(TextAt(index, e + 16, 32), "Tester");
  EXPECT_EQ(TextAt(index, e + 48, 32), "Real Name");
  EXPECT_EQ(TextAt(index, e + 80, 32), "Micronik");
  EXPECT_EQ(TextAt(index, e + 112, 32), "A4000 Tower");
  EXPECT_EQ(TextAt(index, e + 144, 32), "None");
  // The accelerator's vendor is "Other": the user's text in both columns.
  EXPECT_EQ(TextAt(index, e + 208, 32), "HomeBrew 060");
  EXPECT_EQ(TextAt(index, e + 240, 32), "HomeBrew 060");
  EXPECT_EQ(TextAt(index, e + 336, 32), "Test CPU 3.0GHz");
  EXPECT_EQ(TextAt(index, e + 592, 16), "NO");
  EXPECT_EQ(TextAt(index, e + 608, 64), "ATA");
  EXPECT_EQ(TextAt(index, e + 736, 8), "512.0M");
  EXPECT_EQ(TextAt(index, e + 808, 64), "0x444F5303 [DOS3]");
  EXPECT_EQ(TextAt(index, e + 936, 35), serial);
  EXPECT_EQ(TextAt(index, e + 971, 32), "Linux (" + test::HostMachine() + ")");

  // A second start reads the same list back.
  ModuleContext again;
  std::filesystem::copy(t.Home("Database"), again.Home("Database"), fs::copy_options::recursive |
                                                                         fs::copy_options::overwrite_existing);
  EXPECT_TRUE(LoadIndex(again.ctx, Database::Local));
  ASSERT_EQ(again.ctx.modules.local.size(), 1u);
  EXPECT_EQ(again.ctx.modules.local[0].bytes, t.ctx.modules.local[0].bytes);
}

TEST(ModuleBase, ExportedModuleImportsIntoAnotherHomeByteForByte) {
  ModuleContext a;
  std::string serial = MakeLocalModule(a);
  const std::string exported = a.Home("export.dbe");
  EXPECT_EQ(ExportModule(a.ctx, serial, exported), ExportResult::Exported);

  ModuleContext b("Someone Else");
  std::vector<ImportOutcome> got = ImportModules(b.ctx, {exported});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, ImportOutcome::Imported);
  EXPECT_EQ(got[0].serial, serial);
  std::vector<uint8_t> original = test::ReadHostFile(a.Home("Database/Local/" + serial + ".dbe"));
  EXPECT_EQ(test::ReadHostFile(b.Home("Database/Local/" + serial + ".dbe")), original);
  EXPECT_EQ(test::ReadHostFile(exported), original);
  EXPECT_EQ(b.ctx.modules.local[0].bytes, a.ctx.modules.local[0].bytes);

  // The same file again: added once, the second attempt is refused.
  got = ImportModules(b.ctx, {exported});
  EXPECT_EQ(got[0].kind, ImportOutcome::Duplicate);
  EXPECT_EQ(b.requester.asked.back().text, "Module is already 'Local'...");
  EXPECT_EQ(b.ctx.modules.local.size(), 1u);
  EXPECT_EQ(TextAt(test::ReadHostFile(b.Home("Database/Local/database.dbi")), 0, 10), "1");

  // Exporting a serial that is not in the list, or is not a serial.
  EXPECT_EQ(ExportModule(a.ctx, "0x0123456789ABCDEF0123456789ABCDEF", a.Home("x.dbe")), ExportResult::NotLocal);
  EXPECT_EQ(ExportModule(a.ctx, "../../etc/passwd", a.Home("x.dbe")), ExportResult::InvalidSerial);
  EXPECT_FALSE(fs::exists(a.Home("x.dbe")));
}

TEST(ModuleBase, HostileModuleFilesAreRefusedAndNothingIsWrittenOutsideTheDatabase) {
  ModuleContext maker;
  FillModuleDescription(maker.ctx, maker.ctx.results);
  const ModuleRecord good = maker.ctx.results;

  ModuleContext t;
  test::TempDir outside;
  auto scrambled = [](ModuleRecord m) {
    ScrambleModule(m);
    return std::vector<uint8_t>(m.bytes.begin(), m.bytes.end());
  };
  auto withSerial = [&](const std::string& serial) {
    ModuleRecord m = good;
    std::memset(m.data() + 8840, 0, 35);
    std::memcpy(m.data() + 8840, serial.data(), std::min<size_t>(serial.size(), 34));
    return scrambled(m);
  };
  ModuleRecord old = good;
  old.set_text(8875, 64, "0.949");
  std::vector<uint8_t> garbage(9504);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7 + 3);

  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    ImportOutcome::Kind want;
    std::string message;
  };
  const std::string notValid = "Not valid, don't try to load crap!";
  const Case cases[] = {
      {"short", std::vector<uint8_t>(9503, 1), ImportOutcome::WrongLength, "Wrong module-length!"},
      {"long", std::vector<uint8_t>(9505, 1), ImportOutcome::WrongLength, "Wrong module-length!"},
      {"empty", {}, ImportOutcome::WrongLength, "Wrong module-length!"},
      {"garbage", garbage, ImportOutcome::Invalid, notValid},
      {"dotdot", withSerial("0x../../../../../../../tmp/kr-evil"), ImportOutcome::Invalid, notValid},
      {"slash", withSerial("0x0123456789ABCDEF/123456789ABCDEF"), ImportOutcome::Invalid, notValid},
      {"old", scrambled(old), ImportOutcome::Invalid,
       "Selected module is too old.\n\nYou can\xB4t use this module with the current version of KelvaRANK."},
  };
  std::set<std::string> homeBefore = FilesBelow(t.home.path());
  std::vector<std::string> paths;
  for (const Case& c : cases) {
    paths.push_back(outside.path() + "/" + c.name + ".dbe");
    test::WriteHostFile(paths.back(), c.bytes);
  }
  // All at once, in order; each refusal leaves the others going.
  std::vector<ImportOutcome> got = ImportModules(t.ctx, paths);
  ASSERT_EQ(got.size(), std::size(cases));
  ASSERT_EQ(t.requester.asked.size(), std::size(cases));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].kind, cases[i].want) << cases[i].name;
    EXPECT_EQ(t.requester.asked[i].text, cases[i].message) << cases[i].name;
  }
  EXPECT_TRUE(t.ctx.modules.local.empty());
  // Nothing new but the (empty) index, and nothing beside the chosen files.
  std::set<std::string> homeAfter = FilesBelow(t.home.path());
  homeBefore.insert("Database/Local/database.dbi");
  EXPECT_EQ(homeAfter, homeBefore);
  EXPECT_EQ(FilesBelow(outside.path()).size(), std::size(cases));
  EXPECT_FALSE(fs::exists("/tmp/kr-evil.dbe"));
  EXPECT_EQ(test::ReadHostFile(t.Home("Database/Local/database.dbi")),
            std::vector<uint8_t>({'0', 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ModuleBase, IndexIsReadAsFarAsItIsSound) {
  ModuleContext t;
  std::string serial = MakeLocalModule(t);
  const IndexEntry entry = t.ctx.modules.local[0];
  IndexEntry second = entry;
  second.set_text(936, 35, "0x00000000000000000000000000000001");
  IndexEntry hostile = entry;
  hostile.set_text(936, 35, "0x../../../../etc/passwd");

  auto index = [&](const std::string& count, std::vector<IndexEntry> entries, size_t cut = 0) {
    std::vector<uint8_t> b(10, 0);
    std::memcpy(b.data(), count.data(), std::min<size_t>(count.size(), 10));
    for (const IndexEntry& e : entries) b.insert(b.end(), e.bytes.begin(), e.bytes.end());
    b.resize(b.size() - cut);
    return b;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t want;
    int skipped;
    bool sound = true;  // false: the index cannot be read (not an empty one)
  };
  const Case cases[] = {
      {"exact", index("2", {entry, second}), 2, 0},
      {"count beyond the entries", index("5", {entry, second}), 2, 0},
      {"huge count", index("2147483647", {entry, second}), 2, 0},
      {"count below the entries", index("1", {entry, second}), 1, 0},
      {"truncated last entry", index("2", {entry, second}, 1), 1, 0},
      {"negative count", index("-3", {entry}), 0, 0, false},
      {"no number", index("many", {entry}), 0, 0, false},
      {"empty file", {}, 0, 0, false},
      {"count field only", index("0", {}), 0, 0},
      {"shorter than the count field", index("1", {}, 6), 0, 0, false},
      {"serial that names no file", index("3", {entry, hostile, second}), 2, 1},
  };
  for (const Case& c : cases) {
    IndexRead r = ParseIndex(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(r.entries.size(), c.want) << c.name;
    EXPECT_EQ(r.skipped, c.skipped) << c.name;
    EXPECT_EQ(r.error.empty(), c.sound) << c.name;

    // The file reader follows the same rule, appending to the list; an
    // index it cannot read adds nothing and says why.
    test::WriteHostFile(t.Home("Database/Server/database.dbi"), c.bytes);
    ClearServerList(t.ctx);
    EXPECT_EQ(LoadIndex(t.ctx, Database::Server), c.sound) << c.name;
    EXPECT_EQ(t.ctx.modules.server.size(), c.want) << c.name;
    EXPECT_EQ(t.ctx.modules.serverError.empty(), c.sound) << c.name;
  }
  EXPECT_TRUE(IsInDatabase(t.ctx, serial, Database::Server));

  // A missing index: the list stays as it is.
  fs::remove(t.Home("Database/Server/database.dbi"));
  EXPECT_FALSE(LoadIndex(t.ctx, Database::Server));
  EXPECT_EQ(t.ctx.modules.server.size(), 2u);
}

TEST(ModuleBase, RemovalWarnsEmptiesItsSlotsAndKeepsTheOthers) {
  ModuleContext t;
  std::string first = MakeLocalModule(t);
  t.ctx.results.setFigure(rec::kBogomips, 2000.0);  // a second, different module
  t.ctx.results.set_text(8840, 35, "");
  std::string second = MakeLocalModule(t);
  ASSERT_NE(first, second);
  ASSERT_EQ(ChooseSlotModule(t.ctx, 2, t.ctx.modules.local[0]), ModuleRead::Ok);
  ASSERT_EQ(ChooseSlotModule(t.ctx, 3, t.ctx.modules.local[1]), ModuleRead::Ok);
  EXPECT_EQ(t.ctx.display.slotName(1), "Real Name (Tester)");
  EXPECT_EQ(t.ctx.display.slotPath(1), "PROGDIR:Database/Local/" + first + ".dbe");
  EXPECT_EQ(t.ctx.compare[1].figure(rec::kBogomips), 1234.5);
  EXPECT_EQ(t.ctx.compare[2].figure(rec::kBogomips), 2000.0);

  // Not on the server: asked first; "Abort" changes nothing.
  t.requester.answers = {1};
  EXPECT_EQ(RemoveModule(t.ctx, first), RemoveResult::Aborted);
  EXPECT_EQ(t.requester.asked.back().buttons, "Remove|Abort");
  EXPECT_TRUE(fs::exists(t.Home("Database/Local/" + first + ".dbe")));
  EXPECT_EQ(t.ctx.modules.local.size(), 2u);

  t.requester.answers = {0};
  EXPECT_EQ(RemoveModule(t.ctx, first), RemoveResult::Removed);
  EXPECT_FALSE(fs::exists(t.Home("Database/Local/" + first + ".dbe")));
  ASSERT_EQ(t.ctx.modules.local.size(), 1u);
  EXPECT_EQ(t.ctx.modules.local[0].serial(), second);
  EXPECT_EQ(test::ReadHostFile(t.Home("Database/Local/database.dbi")).size(), 10u + 1003u);
  // Slot 2 showed it: emptied with its label; slot 3 is still loaded.
  EXPECT_EQ(t.ctx.display.slotName(1), "");
  EXPECT_EQ(t.ctx.display.slotPath(1), "");
  EXPECT_EQ(t.ctx.modules.slotLoaded[1], 0);
  EXPECT_EQ(t.ctx.compare[1].bytes, ModuleRecord().bytes);
  EXPECT_EQ(t.ctx.modules.slotLoaded[2], 3);
  EXPECT_EQ(t.ctx.compare[2].figure(rec::kBogomips), 2000.0);

  // On the server: no question.
  t.ctx.modules.server.push_back(t.ctx.modules.local[0]);
  size_t asked = t.requester.asked.size();
  EXPECT_EQ(RemoveModule(t.ctx, second), RemoveResult::Removed);
  EXPECT_EQ(t.requester.asked.size(), asked);
  EXPECT_EQ(t.ctx.modules.slotLoaded[2], 0);
  EXPECT_EQ(RemoveModule(t.ctx, second), RemoveResult::NotLocal);
}

// Only a missing index is an empty database. One that is there but cannot
// be read or parsed is never replaced: no save, no module filed.
TEST(ModuleBase, AnIndexThatCannotBeReadIsNeverReplaced) {
  struct Case {
    const char* name;
    std::function<void(ModuleContext&)> spoil;
  };
  const Case cases[] = {
      {"not a number", [](ModuleContext& t) { test::WriteHostFile(t.Home("Database/Local/database.dbi"), {'x', 'y'}); }},
      {"cut inside the count field",
       [](ModuleContext& t) { test::WriteHostFile(t.Home("Database/Local/database.dbi"), {'1', 0, 0}); }},
      {"cannot be opened", [](ModuleContext& t) { t.dos.unreadable = "PROGDIR:Database/Local/database.dbi"; }},
      {"a folder", [](ModuleContext& t) {
         fs::remove(t.Home("Database/Local/database.dbi"));
         fs::create_directory(t.Home("Database/Local/database.dbi"));
       }},
      {"a pipe", [](ModuleContext& t) {  // read, it would block for ever
         fs::remove(t.Home("Database/Local/database.dbi"));
         ASSERT_EQ(::mkfifo(t.Home("Database/Local/database.dbi").c_str(), 0600), 0);
       }},
      {"a link", [](ModuleContext& t) {  // no link is followed in the home
         fs::rename(t.Home("Database/Local/database.dbi"), t.Home("Database/elsewhere.dbi"));
         fs::create_symlink(t.Home("Database/elsewhere.dbi"), t.Home("Database/Local/database.dbi"));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleContext t;
    MakeLocalModule(t);
    c.spoil(t);
    const std::set<std::string> before = FilesBelow(t.Home("Database"));
    const std::vector<uint8_t> index = fs::is_regular_file(t.Home("Database/Local/database.dbi"))
                                           ? test::ReadHostFile(t.Home("Database/Local/database.dbi"))
                                           : std::vector<uint8_t>{};
    t.ctx.modules.local.clear();
    EXPECT_FALSE(LoadIndex(t.ctx, Database::Local));
    EXPECT_NE(t.ctx.modules.localError.find("database.dbi"), std::string::npos) << t.ctx.modules.localError;
    EXPECT_TRUE(t.ctx.modules.local.empty());

    EXPECT_FALSE(SaveLocalIndex(t.ctx));
    t.ctx.results.setFigure(rec::kBogomips, 777.0);  // another module
    t.ctx.results.set_text(8840, 35, "");
    FillResult r = FillModuleHeader(t.ctx);
    EXPECT_EQ(r.add, AddResult::WriteFailed);
    EXPECT_FALSE(r.indexSaved);
    EXPECT_EQ(FilesBelow(t.Home("Database")), before);
    if (!index.empty()) {
      EXPECT_EQ(test::ReadHostFile(t.Home("Database/Local/database.dbi")), index);
    }
  }
  // A missing index is an empty one, and no error.
  ModuleContext t;
  EXPECT_FALSE(LoadIndex(t.ctx, Database::Local));
  EXPECT_TRUE(t.ctx.modules.localError.empty());
}

// Removal saves the index first and deletes the file only then; each
// failure is told apart.
TEST(ModuleBase, RemovalSavesTheIndexBeforeDeletingTheFile) {
  ModuleContext t;
  const std::string serial = MakeLocalModule(t);
  const std::string file = t.Home("Database/Local/" + serial + ".dbe");
  const std::vector<uint8_t> index = test::ReadHostFile(t.Home("Database/Local/database.dbi"));
  t.requester.answers = {0, 0, 0};

  t.dos.AddFault({"rename", "database.dbi", EROFS, 0, 1});  // the index save fails: nothing changes
  EXPECT_EQ(RemoveModule(t.ctx, serial), RemoveResult::IndexNotSaved);
  EXPECT_NE(t.dos.LastErrorText().find("database.dbi"), std::string::npos) << t.dos.LastErrorText();
  EXPECT_TRUE(fs::exists(file));
  ASSERT_EQ(t.ctx.modules.local.size(), 1u);
  EXPECT_EQ(test::ReadHostFile(t.Home("Database/Local/database.dbi")), index);

  t.dos.AddFault({"unlink", ".dbe", EROFS, 0, 1});  // saved, but the file stays
  EXPECT_EQ(RemoveModule(t.ctx, serial), RemoveResult::FileNotDeleted);
  EXPECT_NE(t.dos.LastErrorText().find(serial + ".dbe"), std::string::npos) << t.dos.LastErrorText();
  EXPECT_TRUE(t.ctx.modules.local.empty());
  EXPECT_EQ(test::ReadHostFile(t.Home("Database/Local/database.dbi")).size(), 10u);
  EXPECT_TRUE(fs::exists(file));
}

TEST(ModuleBase, SlotLoadingFailuresLeaveTheSlotEmpty) {
  ModuleContext t;
  std::string serial = MakeLocalModule(t);
  const std::string file = t.Home("Database/Local/" + serial + ".dbe");
  std::vector<uint8_t> bytes = test::ReadHostFile(file);

  bytes.pop_back();
  test::WriteHostFile(file, bytes);
  EXPECT_EQ(LoadModuleIntoSlot(t.ctx, 1, serial), ModuleRead::ShortFile);
  EXPECT_EQ(t.requester.asked.back().text, "Invalid module length!");
  fs::remove(file);
  EXPECT_EQ(LoadModuleIntoSlot(t.ctx, 1, serial), ModuleRead::OpenFailed);
  EXPECT_EQ(t.requester.asked.back().text, "Can't load module from disk.\n\nThe database seems corrupt!");
  EXPECT_EQ(t.requester.asked.back().buttons, "Damn");
  EXPECT_EQ(t.ctx.modules.slotLoaded[0], 0);

  // A slot path from the display file that leaves the database is refused.
  t.ctx.display.set_text(disp::kSlotPath, disp::kSlotWidth, "PROGDIR:Database/Local/../../../etc/passwd");
  ReloadSlots(t.ctx);
  EXPECT_EQ(t.requester.asked.back().text, "Not valid, don't try to load crap!");
  EXPECT_EQ(t.ctx.modules.slotLoaded[0], 0);
  EXPECT_EQ(t.ctx.compare[0].bytes, ModuleRecord().bytes);
}

TEST(ModuleBase, FailedModuleWriteLeavesNoFileAndNoEntry) {
  ModuleContext t;
  FillModuleDescription(t.ctx, t.ctx.results);
  // A file-size limit below a module's size makes the write fail half-way,
  // as a full disk does.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  AddResult r = AddModuleToLocal(t.ctx, t.ctx.results);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(r, AddResult::WriteFailed);
  EXPECT_TRUE(t.ctx.modules.local.empty());
  EXPECT_TRUE(FilesBelow(t.Home("Database/Local")).empty());

  // The same module is stored once the space is there.
  EXPECT_EQ(AddModuleToLocal(t.ctx, t.ctx.results), AddResult::Added);
}

}  // namespace
}  // namespace kr
