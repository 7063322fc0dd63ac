#include "sysinfo/hardware_tables.h"

#include <array>
#include <span>

#include "engine/context.h"
#include "records/settings_record.h"

namespace kr {
namespace {

struct Maker {
  const char* name;
  std::span<const char* const> models;
};

// Main model makers and their models.
constexpr const char* kMainAT[] = {"A1200", "A4000T", "Walker"};
constexpr const char* kMainATA[] = {"A4000TX [Tower-minator]"};
constexpr const char* kMainAteo[] = {"A1200 Tower", "A3000 Tower", "A4000 Tower"};
constexpr const char* kMainCheckmate[] = {"A1500"};
constexpr const char* kMainCommodore[] = {"A1200", "A2000", "A2200", "A2500", "A3000", "A3000+", "A3000T",
                                          "A3000UX", "A3200", "A3400", "A3500", "A4000", "A4000T"};
constexpr const char* kMainCompZ[] = {"BigTower"};
constexpr const char* kMainEagle[] = {"A4000T", "A4000 Towerkit"};
constexpr const char* kMainElbox[] = {"A1200 PowerTower [E/BOX 1200]", "A4000 PowerTower [E/BOX 4000]", "Mirage 3000",
                                      "Mirage 3000 Pro"};
constexpr const char* kMainIndex[] = {"Access", "Boxer", "InsideOut"};
constexpr const char* kMainMacroSystems[] = {"Draco"};
constexpr const char* kMainMicronik[] = {"A3000 Tower",      "A4000 Tower",      "A4000 ISA Tower",
                                         "A4000 PCI Tower",  "Infinitiv I-1300", "Infinitiv I-1400",
                                         "Infinitiv I-1500", "Infinitiv 1200 Tower", "Infinitiv-II 1200 Tower"};
constexpr const char* kMainRBM[] = {"Towerhawk 1200ex", "Towerhawk 4000ex", "Towerhawk-II [1200]"};
constexpr const char* kOther[] = {"Other"};
constexpr const char* kNone[] = {"None"};

constexpr Maker kMainMakers[] = {
    {"Amiga Technologies", kMainAT},
    {"Amiga Technology Australia", kMainATA},
    {"Ateo", kMainAteo},
    {"Checkmate Digital", kMainCheckmate},
    {"Commodore", kMainCommodore},
    {"Comp Z.", kMainCompZ},
    {"Eagle", kMainEagle},
    {"Elbox", kMainElbox},
    {"Index", kMainIndex},
    {"MacroSystems", kMainMacroSystems},
    {"Micronik", kMainMicronik},
    {"RBM", kMainRBM},
    {"Other", kOther},
};

// Busboard makers.
constexpr const char* kBusAteo[] = {"Ateo Bus [1200]"};
constexpr const char* kBusDCE[] = {"G-Rex 1200 PCI", "G-Rex 4000D PCI", "G-Rex 4000T PCI"};
constexpr const char* kBusEagle[] = {"Shuttleboards"};
constexpr const char* kBusElbox[] = {"A4000 Busboard",   "Mediator PCI 1200", "Mediator PCI 3000D",
                                     "Mediator PCI 3/4000T", "Mediator PCI 4000", "Mediator PCI Z3",
                                     "Mediator PCI Z4",  "Winner ZIV [1200]"};
constexpr const char* kBusEyetech[] = {"Predator SE [1200]"};
constexpr const char* kBusMacrosystem[] = {"Rastaban [Draco]"};
constexpr const char* kBusMatay[] = {"Prometheus"};
constexpr const char* kBusMicronik[] = {"A1200 Busboard",     "A3000 Busboard",  "A4000 ISA Busboard",
                                        "A4000 PCI Busboard", "Z2i [1200]",      "Z3i [1200]",
                                        "Z2i MkII [1200]",    "Z3i MkII [1200]"};
constexpr const char* kBusRBM[] = {"RAMIGA 5 Busboard", "RAMIGA 7 Busboard [1200]"};

constexpr Maker kBusMakers[] = {
    {"Ateo", kBusAteo},
    {"DCE", kBusDCE},
    {"Eagle", kBusEagle},
    {"Elbox", kBusElbox},
    {"Eyetech", kBusEyetech},
    {"Macrosystem", kBusMacrosystem},
    {"Matay", kBusMatay},
    {"Micronik", kBusMicronik},
    {"RBM", kBusRBM},
    {"None", kNone},
    {"Other", kOther},
};

// Accelerator makers.
constexpr const char* kAccACT[] = {"1200XL",      "Apollo 1220",          "Apollo 1230",
                                   "Apollo 1230Lite/LC", "Apollo 1230Pro/MK-II", "Apollo 1220 MK-II",
                                   "Apollo 1240", "Apollo 1260",          "Apollo 4040/3040",
                                   "Apollo 4060/3060"};
constexpr const char* kAccComodore[] = {"A3630", "A3640"};
constexpr const char* kAccDCE[] = {"Blizzard 1240",   "Cyberstorm PPC 604e", "Typhoon",         "Typhoon MK-II",
                                   "Viper 1230-II",   "Viper 1230 MK-IV",    "Viper 1230 MK-V", "Viper 1230LC/Elbox 1230LC"};
constexpr const char* kAccDKB[] = {"Cobra", "DKB 1240", "Mongoose"};
constexpr const char* kAccElbox[] = {"Elbox 1230", "Elbox 1230-II", "G-Force 040 (3000/3000)", "GVP 4040 T-Rex",
                                     "GVP 4060 T-Rex II"};
constexpr const char* kAccGVP[] = {"GVP A1230 Turbo+", "GVP A1230-II Turbo+", "WarpEngine 4040/4033/4028"};
constexpr const char* kAccMacrosystem[] = {"Falcon 1240", "Falcon 1260"};
constexpr const char* kAccMBX[] = {"MBX 1230XA"};
constexpr const char* kAccMTec[] = {"M/Tec T1220 RTC", "M/Tec 1230/28 RTC", "M/Tec 1230/42 RTC", "M/Tec 1230/56 RTC"};
constexpr const char* kAccParavision[] = {"Paravision 1230"};
constexpr const char* kAccPhase5[] = {"Blizzard 1204 1220/4",     "Blizzard 1230",           "Blizzard 1230-II",
                                      "Blizzard 1230-III",        "Blizzard 1230-IV",        "Blizzard 1240T/ERC",
                                      "Blizzard 1260",            "Blizzard 2040",           "Blizzard 2060",
                                      "Blizzard 4030",            "Blizzard PPC 603e",       "Cyberstorm MK-I 040/060",
                                      "Cyberstorm MK-II 040/ERC", "Cyberstorm MK-II 060",    "Cyberstorm MK-III",
                                      "Cyberstorm PPC 604e"};
constexpr const char* kAccPP[] = {"Zeus 4040"};
constexpr const char* kAccQuikpak[] = {"4060"};
constexpr const char* kAccRCS[] = {"X-Calibur"};
constexpr const char* kAccWizard[] = {"Magnum 1230", "Magnum 1240", "Magnum 1260"};

constexpr Maker kAccelMakers[] = {
    {"ACT", kAccACT},
    {"Comodore", kAccComodore},
    {"DCE", kAccDCE},
    {"DKB", kAccDKB},
    {"Elbox", kAccElbox},
    {"GVP", kAccGVP},
    {"Macrosystem", kAccMacrosystem},
    {"MicroRobotics [MBX]", kAccMBX},
    {"M-Tec", kAccMTec},
    {"Paravision", kAccParavision},
    {"phase5", kAccPhase5},
    {"Progressive Peripherals", kAccPP},
    {"Quikpak", kAccQuikpak},
    {"RCS Management", kAccRCS},
    {"Wizard Developments", kAccWizard},
    {"None", kNone},
    {"Other", kOther},
};

// Controller makers.
constexpr const char* kCtlACT[] = {"Apollo 2000", "Apollo 2000 AT", "Apollo 1200", "Apollo SCSI Module"};
constexpr const char* kCtlASS[] = {"Nexus SCSI Card"};
constexpr const char* kCtlArchos[] = {"Add2000", "AddHard", "Overdrive 1200", "Overdrive CD"};
constexpr const char* kCtlAteo[] = {"IDE-Mux"};
constexpr const char* kCtlBSC[] = {"ALF 232C", "ALF 332C",           "AT-Bus 2008",   "CD 1000",
                                   "CD 1200",  "Oktagon 2008 [ZII]", "Oktagon 4008", "Tandem"};
constexpr const char* kCtlCommodore[] = {"A2090", "A2090a", "A2091", "A4091"};
constexpr const char* kCtlDKB[] = {"4091", "Ferret", "Rapidfire", "Splitfire"};
constexpr const char* kCtlElbox[] = {"Power 4way Buffered 4xEIDE'99", "Fast ATA Z-IV", "Power Flyer 1200 / Fast ATA 1200",
                                     "Power Flyer 4000 / Fast ATA 4000"};
constexpr const char* kCtlExpansion[] = {"Dataflyer",           "Dataflyer 1200 SCSI", "Dataflyer Express",
                                         "Dataflyer SCSI+ 4000", "DataFlyer CD XDS",   "DataFlyer XDS [1200/600]"};
constexpr const char* kCtlEyetech[] = {"4-Device EIDE Interface"};
constexpr const char* kCtlGVP[] = {"1200", "1291", "2001", "4008", "4098", "A2000-SCSI+8", "Impact Series II 4000-HC+8"};
constexpr const char* kCtlHiSoft[] = {"Squirrel", "Surf Squirrel"};
constexpr const char* kCtlICD[] = {"AdIDE 40+", "AdIDE 44", "AdSCSI 2000 Advantage", "AdSCSI 2080",
                                   "Novia",     "Prima",    "Trifecta EC",           "Trifecta LX"};
constexpr const char* kCtlIndividual[] = {"Buddha Flash", "IDE Express", "Catweasel ZII S-Class"};
constexpr const char* kCtlMicronik[] = {"AT Bus Four Fold"};
constexpr const char* kCtlMTec[] = {"MasterCard"};
constexpr const char* kCtlPhase5[] = {"Blizzard II SCSI-II Module",   "Blizzard III SCSI-II Module",
                                      "Blizzard IV SCSI-II Module",   "Blizzard PPC SCSI Onboard",
                                      "Cyberstorm Mk-I SCSI Module",  "Cyberstorm Mk-II SCSI Module",
                                      "Cyberstorm PPC UW-SCSI Onboard"};
constexpr const char* kCtlRoctec[] = {"Zappo [1200]"};
constexpr const char* kCtlVortex[] = {"Athlet"};

constexpr Maker kCtrlMakers[] = {
    {"ACT", kCtlACT},
    {"Advanced Storage Systems", kCtlASS},
    {"Archos", kCtlArchos},
    {"Ateo", kCtlAteo},
    {"BSC/Alfa Data", kCtlBSC},
    {"Commodore", kCtlCommodore},
    {"DKB", kCtlDKB},
    {"Elbox", kCtlElbox},
    {"Expansion Systems", kCtlExpansion},
    {"Eyetech", kCtlEyetech},
    {"GVP", kCtlGVP},
    {"HiSoft", kCtlHiSoft},
    {"ICD", kCtlICD},
    {"Individual Computers", kCtlIndividual},
    {"Micronik", kCtlMicronik},
    {"MTec", kCtlMTec},
    {"phase5", kCtlPhase5},
    {"Roctec", kCtlRoctec},
    {"Vortex", kCtlVortex},
    {"None", kNone},
    {"Other", kOther},
};

constexpr std::array<std::span<const Maker>, hw::kFamilyCount> kFamilies = {
    std::span<const Maker>(kMainMakers), std::span<const Maker>(kBusMakers), std::span<const Maker>(kAccelMakers),
    std::span<const Maker>(kCtrlMakers)};

static_assert(std::size(kMainMakers) == 13 && std::size(kBusMakers) == 11 && std::size(kAccelMakers) == 17 &&
              std::size(kCtrlMakers) == 21);

struct FamilyFields {
  size_t vendor, model, other;
};
constexpr FamilyFields kSettingsFields[hw::kFamilyCount] = {
    {cfg::kMainVendor, cfg::kMainModel, cfg::kMainOther},
    {cfg::kBusVendor, cfg::kBusModel, cfg::kBusOther},
    {cfg::kAccelVendor, cfg::kAccelModel, cfg::kAccelOther},
    {cfg::kCtrlVendor, cfg::kCtrlModel, cfg::kCtrlOther},
};

const Maker* FindMaker(int family, int vendor) {
  if (family < 0 || family >= hw::kFamilyCount) return nullptr;
  auto makers = kFamilies[size_t(family)];
  if (vendor < 0 || size_t(vendor) >= makers.size()) return nullptr;
  return &makers[size_t(vendor)];
}

}  // namespace

int VendorCount(int family) {
  if (family < 0 || family >= hw::kFamilyCount) return 0;
  return int(kFamilies[size_t(family)].size());
}

int ModelCount(int family, int vendor) {
  const Maker* m = FindMaker(family, vendor);
  return m ? int(m->models.size()) : 0;
}

const char* VendorName(int family, int vendor) {
  const Maker* m = FindMaker(family, vendor);
  return m ? m->name : nullptr;
}

const char* ModelName(int family, int vendor, int model) {
  const Maker* m = FindMaker(family, vendor);
  if (!m || model < 0 || size_t(model) >= m->models.size()) return nullptr;
  return m->models[size_t(model)];
}

std::string HostMainModelLabel(const Context& ctx) {
  // The no-chip test comes second and wins, as in the module record.
  if (ctx.run.noChipMemory) {
    std::string_view own = GetText(reinterpret_cast<const uint8_t*>(ctx.run.hostModel), sizeof ctx.run.hostModel);
    return own.empty() ? std::string("Pegasos Hardware") : std::string(own);
  }
  if (ctx.run.amithlon) return "AmigaXL/Amithlon";
  return {};
}

HardwareFields ComposeHardwareFields(const Context& ctx, int family) {
  HardwareFields f;
  if (family < 0 || family >= hw::kFamilyCount) return f;
  const FamilyFields& at = kSettingsFields[family];
  const SettingsRecord& st = RunSettings(ctx);
  int vendor = st.s32(at.vendor);
  int model = st.s32(at.model);
  if (const char* v = VendorName(family, vendor)) f.maker = v;
  if (const char* m = ModelName(family, vendor, model)) f.model = m;
  if (vendor == hw::kOtherVendor[family]) f.override = std::string(st.text(at.other, cfg::kOtherWidth));
  if (family == hw::kMainModel) {
    std::string label = HostMainModelLabel(ctx);
    if (!label.empty()) f.override = label;
  }
  return f;
}

std::string HardwareText(const Context& ctx, int family) {
  HardwareFields f = ComposeHardwareFields(ctx, family);
  std::string text;
  if (!f.override.empty()) {
    text = f.override;
  } else if (f.maker.empty()) {
    text.clear();  // an index outside the lists: nothing to name
  } else if (f.model.empty() || (family != hw::kMainModel && f.maker == "None")) {
    text = f.maker;
  } else {
    text = f.maker + " - " + f.model;
  }
  if (text.size() > hw::kCombinedMax) text.resize(hw::kCombinedMax);
  return text;
}

std::string OverclockedText(const Context& ctx) {
  if (ctx.run.amithlon || ctx.run.noChipMemory) return "Not avail";
  return RunSettings(ctx).s32(cfg::kOverclocked) ? "YES" : "NO";
}

namespace {

struct DosTypeRow {
  uint32_t type;
  const char* id;
  const char* name;
};
constexpr DosTypeRow kDosTypes[] = {
    {0x42414400, "0x42414400 [BAD0]", "Unreadable Disk"},
    {0x444F5300, "0x444F5300 [DOS0]", "Old FileSystem Standart"},
    {0x444F5301, "0x444F5301 [DOS1]", "Fast FileSystem Standart"},
    {0x444F5302, "0x444F5302 [DOS2]", "Old FileSystem International"},
    {0x444F5303, "0x444F5303 [DOS3]", "Fast FileSystem International"},
    {0x444F5304, "0x444F5304 [DOS4]", "Old FileSystem Directory Cache"},
    {0x444F5305, "0x444F5305 [DOS5]", "Fast FileSystem Directory Cache"},
    {0x4E444F53, "0x4E444F53 [NDOS]", "Not a Dos Disk"},
    {0x4B49434B, "0x4B49434B [KICK]", "Kickstart Disk"},
    {0x50445300, "0x50445300 [PDS0]", "Profesional FileSystem DirectSCSI"},
    {0x50465303, "0x50465303 [PFS3]", "Profesional FileSystem Standart"},
    {0x6D755046, "0x6D755046 [muPF]", "Profesional FileSystem Multiuser"},
    {0x53465300, "0x53465300 [SFS0]", "Smart FileSystem"},
    {0x53465301, "0x53465301 [SFS1]", "Smart FileSystem"},
    // Linux file systems, keyed by the magic number statfs reports.
    {0x0000EF53, "0x0000EF53 [EXT4]", "Linux Extended FileSystem 2/3/4"},
    {0x58465342, "0x58465342 [XFSB]", "XFS FileSystem"},
    {0x9123683E, "0x9123683E [BTRF]", "B-Tree FileSystem (Btrfs)"},
    {0x00004D44, "0x00004D44 [VFAT]", "FAT FileSystem (vfat)"},
    {0x2011BAB0, "0x2011BAB0 [EXFT]", "Extended FAT FileSystem (exFAT)"},
    {0xF2F52010, "0xF2F52010 [F2FS]", "Flash-Friendly FileSystem"},
    {0x7366746E, "0x7366746E [NTF3]", "NT FileSystem (ntfs3)"},
    {0x5346544E, "0x5346544E [NTFS]", "NT FileSystem"},
    {0x65735546, "0x65735546 [FUSE]", "FUSE FileSystem on a block device"},
    {0x3153464A, "0x3153464A [JFS1]", "Journaled FileSystem (JFS)"},
    {0x52654973, "0x52654973 [REIS]", "ReiserFS"},
    {0x00003434, "0x00003434 [NILF]", "NILFS2 FileSystem"},
    {0xCA451A4E, "0xCA451A4E [BCFS]", "bcachefs"},
    {0x0000482B, "0x0000482B [HFS+]", "HFS Plus FileSystem"},
    {0x15013346, "0x15013346 [UDF ]", "Universal Disk Format"},
    {0x00009660, "0x00009660 [ISO9]", "ISO 9660 FileSystem"},
};

const DosTypeRow* FindDosType(uint32_t type) {
  for (const DosTypeRow& r : kDosTypes)
    if (r.type == type) return &r;
  return nullptr;
}

}  // namespace

const char* DosTypeIdText(uint32_t dosType) {
  const DosTypeRow* r = FindDosType(dosType);
  return r ? r->id : "Unknown";
}
const char* DosTypeNameText(uint32_t dosType) {
  const DosTypeRow* r = FindDosType(dosType);
  return r ? r->name : "Unknown";
}

}  // namespace kr
