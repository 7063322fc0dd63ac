#include <gtest/gtest.h>

#include <cstring>

#include "util/md5.h"
#include "modules/module_fixture.h"
#include "modules/module_json.h"
#include "modules/module_record.h"

namespace kr {
namespace {

using test::ModuleContext;

// Texts at byte offsets of a raw record image, as the record's layout table
// gives them (offsets written out here, not taken from the code).
using test::TextAt;

std::string Hex(const uint8_t* d, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X", d[i]);
    s += b;
  }
  return s;
}

TEST(ModuleRecord, MadeModuleFileUnscramblesToItsFieldsAndSerial) {
  ModuleContext t;
  ModuleRecord before = t.ctx.results;  // what the serial field held before: zeros
  FillModuleDescription(t.ctx, t.ctx.results);
  ASSERT_TRUE(WriteModuleFile(t.ctx, "PROGDIR:made.dbe", t.ctx.results));

  std::vector<uint8_t> file = test::ReadHostFile(t.Home("made.dbe"));
  ASSERT_EQ(file.size(), 9504u);
  std::vector<uint8_t> r = test::Unscrambled(file);
  EXPECT_EQ(0, std::memcmp(r.data(), t.ctx.results.data(), 9504));
  // The results area is the run's.
  EXPECT_EQ(0, std::memcmp(r.data(), before.data(), 7232));

  // Serial: the digest of the whole record with the serial field as it was.
  std::vector<uint8_t> unsealed = r;
  std::memset(unsealed.data() + 8840, 0, 35);
  uint8_t digest[16];
  Md5Digest(unsealed.data(), unsealed.size(), digest);
  EXPECT_EQ(TextAt(r, 8840, 35), "0x" + Hex(digest, 16));
  EXPECT_EQ(r[8840 + 34], 0);

  struct Expect {
    size_t offset, width;
    std::string text;
  };
  const Expect fields[] = {
      {7232, 32, "Tester"},
      {7264, 32, "Real Name"},
      {7296, 32, "Somewhere"},
      {7328, 128, "tester@example.org"},
      {7456, 256, "http://example.org/"},
      {7712, 32, "Micronik"},
      {7744, 32, "A4000 Tower"},
      {7776, 32, ""},
      {7808, 32, "None"},
      {7840, 32, "None"},
      {7904, 32, "Other"},
      {7968, 32, "HomeBrew 060"},
      {8096, 16, "NO"},
      {8112, 16, "124.18"},  // 123456789 x 50 / 49710200
      {8128, 32, "Test CPU 3.0GHz"},
      {8160, 32, "x87/AVX2 [Hardware/Intern]"},
      {8192, 32, "None"},
      {8224, 32, "17179.86 MB"},
      {8256, 32, "Not avail"},
      {8288, 32, "Debian GNU/Linux 12"},
      {8320, 32, "6.1.0-18-amd64"},
      {8352, 32, "Not avail"},
      {8384, 64, "ATA"},
      {8448, 64, "Test Disk 1000"},
      {8512, 128, "1.0"},
      {8640, 64, "/dev/sdz"},
      {8704, 64, "0x444F5303 [DOS3]"},
      {8768, 8, "512.0M"},
      {8875, 64, "1.001"},
      {8939, 32, "Linux (" + test::HostMachine() + ")"},
      {8971, 533, "A module of the test suite."},
  };
  for (const Expect& e : fields) EXPECT_EQ(TextAt(r, e.offset, e.width), e.text) << "offset " << e.offset;

  // Date and time as MakeStamp wrote them: dd.mm.yy and hh.mm.ss.
  for (size_t at : {size_t(8776), size_t(8808)}) {
    std::string s = TextAt(r, at, 32);
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(s[2], '.');
    EXPECT_EQ(s[5], '.');
  }
}

TEST(ModuleRecord, FieldCutsAndHostRules) {
  ModuleContext t;
  t.ctx.settings.set_text(cfg::kUserName, cfg::kNameWidth, std::string(40, 'u'));
  std::string comment(200, 'c');
  t.ctx.settings.setModuleComment(comment);
  t.ctx.settings.set_s32(cfg::kOverclocked, 1);
  t.ctx.settings.set_s32(cfg::kMainVendor, 12);  // "Other"
  t.ctx.settings.set_text(cfg::kMainOther, cfg::kOtherWidth, "My Own Box");
  FillModuleDescription(t.ctx, t.ctx.results);
  const ModuleRecord& m = t.ctx.results;
  EXPECT_EQ(m.text(7232, 32), std::string(31, 'u'));
  EXPECT_EQ(m.text(8971, 533), comment);
  EXPECT_EQ(m.text(8096, 16), "YES");
  EXPECT_EQ(m.text(7776, 32), "My Own Box");

  // A no-chip host: the main model's own text gives way to the machine's
  // name (or the fixed label without one), overclocked is not available.
  t.ctx.run.noChipMemory = 1;
  FillModuleDescription(t.ctx, t.ctx.results);
  EXPECT_EQ(m.text(7776, 32), "Pegasos Hardware");
  EXPECT_EQ(m.text(8096, 16), "Not avail");
  std::snprintf(t.ctx.run.hostModel, sizeof t.ctx.run.hostModel, "ACME Box 9");
  FillModuleDescription(t.ctx, t.ctx.results);
  EXPECT_EQ(m.text(7776, 32), "ACME Box 9");

  // An emulated host: no processor clock.
  t.ctx.run.noChipMemory = 0;
  t.ctx.run.amithlon = 1;
  FillModuleDescription(t.ctx, t.ctx.results);
  EXPECT_EQ(m.text(7776, 32), "AmigaXL/Amithlon");
  EXPECT_EQ(m.text(8112, 16), "Disabled");
  EXPECT_EQ(m.text(8096, 16), "Not avail");
}

TEST(ModuleRecord, ProcessorClockTextTakesTheWholeLoopCount) {
  EXPECT_EQ(ProcessorClockText(0), "0.00");
  EXPECT_EQ(ProcessorClockText(49710200), "50.00");
  // A present-day processor's loop count exceeds 32 bits.
  EXPECT_EQ(ProcessorClockText(5000000000ull), "5029.15");
}

TEST(ModuleRecord, ScramblerIsItsOwnInverseAndAZeroRecordGivesTheKeystream) {
  ModuleRecord m;
  ScrambleModule(m);
  for (size_t i = 0; i < 9503; ++i) {
    ASSERT_EQ(m.bytes[i], test::KeyByte(i)) << i;
    ASSERT_NE(m.bytes[i], 255);
  }
  EXPECT_EQ(m.bytes[9503], 0);

  ModuleContext t;
  FillModuleDescription(t.ctx, t.ctx.results);
  ModuleRecord twice = t.ctx.results;
  ScrambleModule(twice);
  EXPECT_NE(twice.bytes, t.ctx.results.bytes);
  ScrambleModule(twice);
  EXPECT_EQ(twice.bytes, t.ctx.results.bytes);
}

TEST(ModuleRecord, ValidityTest) {
  const std::string good = "0x0123456789ABCDEF0123456789ABCDEF";
  struct Case {
    std::string serial, version;
    ModuleValidity want;
  };
  const Case cases[] = {
      {good, "1.001", ModuleValidity::Valid},
      {good, "0.949", ModuleValidity::TooOld},
      {good, "0.950", ModuleValidity::Valid},
      {good, "1.000", ModuleValidity::Valid},
      {good, "", ModuleValidity::Valid},        // no digits: A = B = -1
      {good, "beta", ModuleValidity::Valid},
      {good, "0.9", ModuleValidity::TooOld},    // B = 9
      {"0X0123456789ABCDEF0123456789ABCDEF", "1.001", ModuleValidity::NotValid},
      {"0x0123456789abcdef0123456789abcdef", "1.001", ModuleValidity::NotValid},
      {"0x0123456789ABCDEF0123456789ABCDE", "1.001", ModuleValidity::NotValid},
      {"0x../../../../tmp/evil", "1.001", ModuleValidity::NotValid},
      {"0x0123456789ABCDEF/123456789ABCDEF", "1.001", ModuleValidity::NotValid},
      {"", "1.001", ModuleValidity::NotValid},
  };
  ModuleContext t;
  for (const Case& c : cases) {
    t.requester.asked.clear();
    ModuleRecord m;
    std::memcpy(m.data() + 8840, c.serial.data(), c.serial.size());
    std::memcpy(m.data() + 8875, c.version.data(), c.version.size());
    EXPECT_EQ(CheckModule(m), c.want) << c.serial << " " << c.version;
    EXPECT_EQ(ValidateModule(t.ctx, m), c.want == ModuleValidity::Valid);
    if (c.want == ModuleValidity::Valid) {
      EXPECT_TRUE(t.requester.asked.empty());
    } else {
      ASSERT_EQ(t.requester.asked.size(), 1u);
      EXPECT_EQ(t.requester.asked[0].text, c.want == ModuleValidity::NotValid
                                               ? "Not valid, don't try to load crap!"
                                               : "Selected module is too old.\n\nYou can\xB4t use this module with "
                                                 "the current version of KelvaRANK.");
    }
  }
  // A serial field without a terminator is not a serial.
  ModuleRecord full;
  std::memset(full.data() + 8840, 'A', 35);
  std::memcpy(full.data() + 8840, "0x", 2);
  EXPECT_EQ(CheckModule(full), ModuleValidity::NotValid);
}

TEST(ModuleRecord, ReadingModuleFiles) {
  ModuleContext t;
  FillModuleDescription(t.ctx, t.ctx.results);
  ASSERT_TRUE(WriteModuleFile(t.ctx, "PROGDIR:m.dbe", t.ctx.results));
  std::vector<uint8_t> file = test::ReadHostFile(t.Home("m.dbe"));

  ModuleRecord dest;
  EXPECT_EQ(ReadModuleFile(t.ctx, "PROGDIR:m.dbe", dest), ModuleRead::Ok);
  EXPECT_EQ(dest.bytes, t.ctx.results.bytes);

  // Longer files are read up to the record's size.
  std::vector<uint8_t> longer = file;
  longer.push_back(7);
  test::WriteHostFile(t.Home("long.dbe"), longer);
  ModuleRecord fromLonger;
  EXPECT_EQ(ReadModuleFile(t.ctx, "PROGDIR:long.dbe", fromLonger), ModuleRead::Ok);
  EXPECT_EQ(fromLonger.bytes, t.ctx.results.bytes);

  // Short, missing, garbage: the destination keeps what it held.
  ModuleRecord untouched;
  untouched.bytes.fill(0x5A);
  const ModuleRecord keep = untouched;
  file.pop_back();
  test::WriteHostFile(t.Home("short.dbe"), file);
  EXPECT_EQ(ReadModuleFile(t.ctx, "PROGDIR:short.dbe", untouched), ModuleRead::ShortFile);
  EXPECT_EQ(ReadModuleFile(t.ctx, "PROGDIR:none.dbe", untouched), ModuleRead::OpenFailed);
  test::WriteHostFile(t.Home("garbage.dbe"), std::vector<uint8_t>(9504, 0x41));
  EXPECT_EQ(ReadModuleFile(t.ctx, "PROGDIR:garbage.dbe", untouched), ModuleRead::Invalid);
  EXPECT_EQ(untouched.bytes, keep.bytes);
}

// The JSON form never carries a control character, C1 ones included: it is
// printed to a terminal as it is.
TEST(ModuleJson, ControlCharactersOfEveryKindAreEscaped) {
  struct Case {
    const char* latin1;
    const char* json;
  } cases[] = {
      {"a\x1b[2Jb", "\"a\\u001b[2Jb\""},
      {"\x9b" "2J", "\"\\u009b2J\""},
      {"\x80\x9f\x7f", "\"\\u0080\\u009f\\u007f\""},
      {"M\xFCller \xA0\xFF", "\"M\xC3\xBCller \xC2\xA0\xC3\xBF\""},
      {"q\"b\\n\n", "\"q\\\"b\\\\n\\n\""},
  };
  for (const Case& c : cases) {
    ModuleRecord m;
    m.set_text(mod::kUserName, mod::kUserNameWidth, c.latin1);
    const std::string json = ModulesJson({m});
    EXPECT_NE(json.find(std::string("\"userName\": ") + c.json), std::string::npos) << c.latin1 << "\n" << json;
  }
}

}  // namespace
}  // namespace kr
