// The settings pages independent of any front end: every control's value as
// the pages hold it (texts as Latin-1 bytes, check marks, cycle indexes and
// slider positions), the copy between form and settings record with its
// validation, and which controls are enabled.
//
// The desktop front end mirrors its widgets into this form; the terminal
// front end edits it through settings_keys.h. Both then go through the same
// ReadSettingsFromWindow, so checks, order and messages are the same.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "records/catalogue.h"
#include "records/form_values.h"
#include "records/settings_record.h"

namespace kr {

struct Context;

// Slider ranges (inclusive); the tests' ones are those of their catalogue
// rows (records/catalogue.h).
Range MemLoopSizeRange(int p);
Range MemSweepRange(int p);
inline constexpr Range kDriveFilesRange{1, 3};
inline constexpr Range kDriveLoopSizeRange = DriveEntry(1).loopRange;  // the same for the four sweep tests
Range DriveSweepRange(int i);  // i = 0..3: file tests 1..17, device tests 3..17
inline constexpr Range kSmtpPortRange{1, 65535};

// Built-in default sweep of a memory test / of a drive sweep test (from the
// catalogue rows).
int32_t MemDefaultSweepStop(int p);
int32_t MemDefaultLoopSize(int p);
int32_t DriveDefaultSweepStart(int i);

// The memory tests that touch CHIP or ROM memory (switched off by the
// defaults on an AmigaXL/Amithlon or no-chip-memory host).
bool IsChipOrRomMemoryTest(int p);

// Shows the settings record in the form (LoadConfig, ShowSettings).
void FormFromSettings(const SettingsRecord& s, SettingsForm& form);

// The pages a reset puts back to their built-in values.
enum class ResetScope : uint8_t {
  Processor,   // the Processor page
  Memory,      // the Memory page
  Drive,       // the Hard Disk page
  Everything,  // every page (and, in ResetSettings, the whole record)
  TestPages,   // the three test pages (a module is made with them)
};

// Built-in defaults into the pages of the form named by the scope.
// chipOff: switch the CHIP and ROM memory tests off as well.
void ResetForm(SettingsForm& form, ResetScope scope, bool chipOff);

// Which controls are enabled.
struct SettingsEnabling {
  std::array<bool, 4> other{};              // each "Other:" field
  std::array<bool, 11> procOptions{};       // "CPU Cache", "Multitasking" of test k
  std::array<bool, 24> memOptions{};        // cache, multitasking, loop size, start, stop
  std::array<bool, 7> driveOptions{};       // the option controls under drive enabled[i]
};
SettingsEnabling UpdateSettingsEnabling(const SettingsForm& form);

// Drive cpuCache entries that belong to drive enabled switch i.
bool DriveCacheBelongsTo(int cacheIndex, int enabledIndex);

// One failed check: requester title, text and button exactly as shown.
struct SettingsError {
  std::string title, text, button;
};

// Why `path` cannot be the drive section's partition folder (empty: it
// can). The folder is kept as the file system names it (its bytes, not
// Latin-1): at most `limit` bytes, no control character, and no ':', which
// the program's path forms read as the end of a volume name.
std::string HostPathProblem(std::string_view path, size_t limit);

// True when `address` is a mail address in the plain form SMTP takes inside
// "<...>": local@domain, each side dot-separated words of letters, digits
// and !#$%&'*+-/=?^_`{|}~ (the domain may also be an address in brackets,
// [192.0.2.1]). Quoted local parts, spaces, angle brackets and control
// bytes are refused: the address goes unchanged into MAIL FROM and From:.
bool IsMailAddress(std::string_view address);

// Runs the checks in their order on the form. Returns true when all pass.
// Side effect as on the pages: the "Other:" text of a group whose vendor is
// not "Other" is emptied as its check is reached. On failure `err` holds the
// requester; nothing else is changed.
bool ValidateSettingsForm(SettingsForm& form, SettingsError& err);

// Copies the form into the record in the pages' order, with the sweep
// repair (start above stop: both back to the test's defaults, in the record
// and in the form). Numbers outside their control's range are clamped.
void CopyFormToSettings(SettingsForm& form, SettingsRecord& s);

// Validates the form; on failure shows the one requester through
// ctx.requester and returns false with the record unchanged. Otherwise copies
// the form into ctx.settings and returns true. The caller then probes the
// selected partition's drive (the access mode the device tests use follows
// from the access-mode cycle: AccessModeOfCycle).
bool ReadSettingsFromForm(Context& ctx, SettingsForm& form);
// The same on the pages of the context (ctx.form).
bool ReadSettingsFromWindow(Context& ctx);

}  // namespace kr
