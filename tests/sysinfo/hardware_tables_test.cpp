#include "sysinfo/hardware_tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_context.h"

namespace kr {
namespace {

// Models per maker, in list order, for each family.
const std::vector<std::vector<int>> kModelCounts = {
    {3, 1, 3, 1, 13, 1, 2, 4, 3, 1, 9, 3, 1},
    {1, 3, 1, 8, 1, 1, 1, 8, 2, 1, 1},
    {10, 2, 8, 3, 5, 3, 2, 1, 4, 1, 16, 1, 1, 1, 3, 1, 1},
    {4, 1, 4, 1, 8, 4, 4, 4, 6, 1, 7, 2, 8, 3, 1, 1, 7, 1, 1, 1, 1},
};

TEST(HardwareTables, CountsPerFamilyAndMaker) {
  for (int family = 0; family < hw::kFamilyCount; ++family) {
    const auto& counts = kModelCounts[size_t(family)];
    ASSERT_EQ(VendorCount(family), int(counts.size())) << "family " << family;
    for (int v = 0; v < int(counts.size()); ++v) {
      EXPECT_EQ(ModelCount(family, v), counts[size_t(v)]) << "family " << family << " maker " << VendorName(family, v);
      for (int m = 0; m < counts[size_t(v)]; ++m) {
        const char* name = ModelName(family, v, m);
        ASSERT_NE(name, nullptr);
        EXPECT_GT(std::strlen(name), 0u);
        EXPECT_LE(std::strlen(name), 32u) << name;  // every entry fits its 32-byte record field
      }
    }
  }
}

TEST(HardwareTables, EntriesAreSpelledAsListed) {
  struct Case {
    int family, vendor, model;
    const char* maker;
    const char* name;
  } cases[] = {
      {0, 0, 0, "Amiga Technologies", "A1200"},
      {0, 4, 5, "Commodore", "A3000+"},
      {0, 9, 0, "MacroSystems", "Draco"},
      {0, 10, 8, "Micronik", "Infinitiv-II 1200 Tower"},
      {1, 3, 3, "Elbox", "Mediator PCI 3/4000T"},
      {1, 5, 0, "Macrosystem", "Rastaban [Draco]"},
      {1, 8, 1, "RBM", "RAMIGA 7 Busboard [1200]"},
      {2, 1, 1, "Comodore", "A3640"},
      {2, 7, 0, "MicroRobotics [MBX]", "MBX 1230XA"},
      {2, 10, 15, "phase5", "Cyberstorm PPC 604e"},
      {2, 14, 2, "Wizard Developments", "Magnum 1260"},
      {3, 7, 0, "Elbox", "Power 4way Buffered 4xEIDE'99"},
      {3, 7, 2, "Elbox", "Power Flyer 1200 / Fast ATA 1200"},
      {3, 13, 2, "Individual Computers", "Catweasel ZII S-Class"},
      {3, 18, 0, "Vortex", "Athlet"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(VendorName(c.family, c.vendor), c.maker);
    EXPECT_STREQ(ModelName(c.family, c.vendor, c.model), c.name);
  }
  EXPECT_EQ(std::strlen(ModelName(3, 7, 2)), 32u);
}

TEST(HardwareTables, OtherAndNoneMakersHaveTheirOneModel) {
  for (int family = 0; family < hw::kFamilyCount; ++family) {
    int other = hw::kOtherVendor[family];
    EXPECT_STREQ(VendorName(family, other), "Other");
    EXPECT_EQ(ModelCount(family, other), 1);
    EXPECT_STREQ(ModelName(family, other, 0), "Other");
    int none = hw::kNoneVendor[family];
    if (none < 0) continue;
    EXPECT_STREQ(VendorName(family, none), "None");
    EXPECT_EQ(ModelCount(family, none), 1);
    EXPECT_STREQ(ModelName(family, none, 0), "None");
  }
  for (int v = 0; v < VendorCount(hw::kMainModel); ++v) EXPECT_STRNE(VendorName(hw::kMainModel, v), "None");
}

TEST(HardwareTables, IndexesOutsideTheListsGiveNothing) {
  struct Case {
    int family, vendor, model;
  } cases[] = {{-1, 0, 0}, {4, 0, 0}, {0, -1, 0}, {0, 13, 0}, {1, 11, 0}, {2, 17, 0},
               {3, 21, 0}, {0, 0, -1}, {0, 0, 3}, {0, 12, 1}, {3, 7, 4}, {1 << 30, 1 << 30, 1 << 30}};
  for (const Case& c : cases) {
    EXPECT_EQ(ModelName(c.family, c.vendor, c.model), nullptr) << c.family << "/" << c.vendor << "/" << c.model;
  }
  EXPECT_EQ(VendorCount(-1), 0);
  EXPECT_EQ(VendorCount(4), 0);
  EXPECT_EQ(VendorName(0, 13), nullptr);
  EXPECT_EQ(VendorName(-1, 0), nullptr);
  EXPECT_EQ(ModelCount(0, 13), 0);
  EXPECT_EQ(ModelCount(5, 0), 0);
}

struct Choice {
  int vendor, model;
  const char* other;  // the family's "Other:" text; nullptr leaves it empty
};

void Choose(SettingsRecord& s, int family, Choice c) {
  const size_t vendorAt[] = {cfg::kMainVendor, cfg::kBusVendor, cfg::kAccelVendor, cfg::kCtrlVendor};
  const size_t modelAt[] = {cfg::kMainModel, cfg::kBusModel, cfg::kAccelModel, cfg::kCtrlModel};
  const size_t otherAt[] = {cfg::kMainOther, cfg::kBusOther, cfg::kAccelOther, cfg::kCtrlOther};
  s.set_s32(vendorAt[family], c.vendor);
  s.set_s32(modelAt[family], c.model);
  std::memset(s.data() + otherAt[family], 0, cfg::kOtherWidth);
  if (c.other) std::memcpy(s.data() + otherAt[family], c.other, std::min(std::strlen(c.other), cfg::kOtherWidth));
}

TEST(HardwareTables, ComposedTexts) {
  const char* k32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";  // fills the field, no terminator
  struct Case {
    int family;
    Choice choice;
    int amithlon, noChip;
    const char* hostModel;
    const char* expected;
  } cases[] = {
      {0, {4, 11, nullptr}, 0, 0, "", "Commodore - A4000"},
      {0, {12, 0, "My Tower"}, 0, 0, "", "My Tower"},
      {0, {12, 0, nullptr}, 0, 0, "", "Other - Other"},
      {0, {4, 11, "ignored"}, 0, 0, "", "Commodore - A4000"},
      {0, {4, 11, nullptr}, 1, 0, "", "AmigaXL/Amithlon"},
      {0, {12, 0, "My Tower"}, 1, 0, "", "AmigaXL/Amithlon"},
      {0, {4, 11, nullptr}, 0, 1, "", "Pegasos Hardware"},
      {0, {4, 11, nullptr}, 1, 1, "", "Pegasos Hardware"},
      {0, {4, 11, nullptr}, 0, 1, "Dell XPS 13 9360", "Dell XPS 13 9360"},
      {0, {4, 11, nullptr}, 0, 0, "Dell XPS 13 9360", "Commodore - A4000"},
      {1, {9, 0, nullptr}, 0, 0, "", "None"},
      {1, {3, 1, nullptr}, 0, 1, "", "Elbox - Mediator PCI 1200"},
      {1, {10, 0, "Custom bus"}, 0, 0, "", "Custom bus"},
      {1, {10, 0, nullptr}, 0, 0, "", "Other - Other"},
      {2, {15, 0, nullptr}, 1, 1, "", "None"},
      {2, {10, 6, nullptr}, 0, 0, "", "phase5 - Blizzard 1260"},
      {2, {16, 0, "PiStorm"}, 0, 0, "", "PiStorm"},
      {3, {19, 0, nullptr}, 0, 0, "", "None"},
      {3, {7, 2, nullptr}, 0, 0, "", "Elbox - Power Flyer 1200 / Fast ATA 1200"},
      {3, {20, 0, k32}, 0, 0, "", k32},
      {0, {13, 0, nullptr}, 0, 0, "", ""},
      {0, {-5, 0, nullptr}, 0, 0, "", ""},
      {0, {4, 99, nullptr}, 0, 0, "", "Commodore"},
      {3, {7, -1, nullptr}, 0, 0, "", "Elbox"},
  };
  test::TestContext t;
  for (const Case& c : cases) {
    Choose(t.ctx.settings, c.family, c.choice);
    t.ctx.run.amithlon = c.amithlon;
    t.ctx.run.noChipMemory = c.noChip;
    std::memset(t.ctx.run.hostModel, 0, sizeof t.ctx.run.hostModel);
    std::strncpy(t.ctx.run.hostModel, c.hostModel, sizeof t.ctx.run.hostModel - 1);
    EXPECT_EQ(HardwareText(t.ctx, c.family), c.expected)
        << "family " << c.family << " maker " << c.choice.vendor << " model " << c.choice.model;
  }
}

TEST(HardwareTables, FieldsKeepMakerAndModelBesideTheOverride) {
  test::TestContext t;
  t.ctx.run.noChipMemory = 1;
  Choose(t.ctx.settings, 0, {12, 0, "Self-made"});
  HardwareFields main = ComposeHardwareFields(t.ctx, 0);
  EXPECT_EQ(main.maker, "Other");
  EXPECT_EQ(main.model, "Other");
  EXPECT_EQ(main.override, "Pegasos Hardware");  // the host label replaces the "Other:" text
  Choose(t.ctx.settings, 1, {9, 0, "left over"});
  HardwareFields bus = ComposeHardwareFields(t.ctx, 1);
  EXPECT_EQ(bus.maker, "None");
  EXPECT_EQ(bus.model, "None");
  EXPECT_EQ(bus.override, "");
  EXPECT_EQ(HardwareText(t.ctx, 4), "");
  EXPECT_EQ(HardwareText(t.ctx, -1), "");
}

TEST(HardwareTables, Overclocked) {
  struct Case {
    int on, amithlon, noChip;
    const char* expected;
  } cases[] = {{0, 0, 0, "NO"},        {1, 0, 0, "YES"},       {7, 0, 0, "YES"},      {1, 1, 0, "Not avail"},
               {0, 0, 1, "Not avail"}, {1, 1, 1, "Not avail"}};
  test::TestContext t;
  for (const Case& c : cases) {
    t.ctx.settings.set_s32(cfg::kOverclocked, c.on);
    t.ctx.run.amithlon = c.amithlon;
    t.ctx.run.noChipMemory = c.noChip;
    EXPECT_EQ(OverclockedText(t.ctx), c.expected) << c.on << c.amithlon << c.noChip;
  }
}

}  // namespace
}  // namespace kr
