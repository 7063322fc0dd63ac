// The two settings files below the program home:
//   "PROGDIR:KelvaRANK.cfg"  the settings record, exactly 2452 bytes;
//   "PROGDIR:KelvaRANK.def"  the display record (2128 bytes) and the seven
//                            32-byte pen texts, exactly 2352 bytes;
// plus the module-comment side file "PROGDIR:KelvaRANK.comment.<hash>" that
// keeps a comment of up to 200 bytes across a restart (the .cfg field holds
// 136 bytes); the hash names the .cfg it belongs to (see docs/settings.md).
//
// Files are raw big-endian images with no header; a file is current only when
// its length is exact. Saving writes a new file beside the old one and renames
// it over (Dos::WriteFileAtomic): a failed save leaves the old file whole.
// A save changes only what this process changed: the file is read again and
// every field this process left alone keeps what the file holds (another
// process may have saved it meanwhile); a file that already holds what would
// be written is not written again.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/context.h"
#include "settings/settings_form.h"

namespace kr {

inline constexpr std::string_view kConfigFile = "PROGDIR:KelvaRANK.cfg";
inline constexpr std::string_view kDefaultsFile = "PROGDIR:KelvaRANK.def";
// The side file of older homes, without the hash; still read, and removed
// by the next save.
inline constexpr std::string_view kCommentFile = "PROGDIR:KelvaRANK.comment";
inline constexpr size_t kConfigFileSize = 2452;
inline constexpr size_t kDefaultsFileSize = 2352;

// True when the file exists (it may still have the wrong length).
bool ConfigExists(Context& ctx);
bool DefaultsExists(Context& ctx);

// Reads the .cfg into ctx.settings, then the comment side file that belongs
// to it (taken only when it continues the comment the .cfg holds), then shows
// the record in the settings form (FormFromSettings) and remembers it as
// ctx.settingsOnDisk. A file that cannot be opened or read: error-log entry
// "CONFIG"/"LoadConfig"/"Error loading config!" and false (ctx.dos.LastError
// says why); the record is unchanged. A short file fills the record from its
// start and leaves the rest as it was (start-up rejects it by its length).
bool LoadConfig(Context& ctx);

// Writes the settings as the .cfg (2452 bytes) with Write to Device and
// SpinUP Device stored as 0 (the record keeps them), and a comment longer
// than the field to its side file, written first. Fields this process did
// not change since it last loaded or saved take the file's current values,
// in ctx.settings too. On failure: error-log entry "CONFIG"/"SaveConfig"/
// "Error saving config!" and false; the old files stay as they were.
bool SaveConfig(Context& ctx);

// Reads the .def into ctx.display (record and pens) and remembers it as
// ctx.displayOnDisk. A file that cannot be opened or read:
// "DEFAULTS"/"LoadDefaults"/"Error loading defaults!" and false.
bool LoadDefaults(Context& ctx);

// Writes ctx.display and its pens as the .def (2352 bytes), unless the file
// already holds them or this process changed nothing since it read the file.
// On failure: "DEFAULTS"/"SaveDefaults"/"Error saving defaults!" and false.
bool SaveDefaults(Context& ctx);

// Built-in defaults into the pages of the settings form named by the scope
// (settings_form.h); with ResetScope::Everything also the whole settings
// record (the other scopes change the form only; TestPages is used when a
// module is made). On an AmigaXL/Amithlon or no-chip-memory host the CHIP
// and ROM memory tests are switched off as well.
void ResetSettings(Context& ctx, ResetScope scope);

// Shows the settings record in the form again (discards edits).
void ShowSettings(Context& ctx);

// Resets the chart controls and ctx.display to the built-in defaults. The
// colour pickers are ctx.display.pens; the other chart controls show the
// record (DisplayControlsFrom).
void ResetDisplaySettings(Context& ctx);

}  // namespace kr
