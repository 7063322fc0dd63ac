// The files the program brings with it, built into the binary so that a new
// home can be set up without the source tree: the MP3 sample, the logo
// picture and the help text. The server description is not among them: its
// own writer (settings/server_data.h) makes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/context.h"

namespace kr {

struct Asset {
  std::string_view path;  // where it lives in the home ("PROGDIR:...")
  std::span<const uint8_t> bytes;
};

// The built-in assets, in a fixed order: MP3 sample, logo, help text.
std::span<const Asset> BuiltinAssets();

// The folders of a home, in creation order.
std::span<const std::string_view> HomeFolders();

// Creates the missing folders of the home (PROGDIR: itself, Data, Reports,
// Database, Database/Local, Database/Server, Docs). On failure `failed`
// names the first folder that could not be made.
bool MakeHomeFolders(Context& ctx, std::string& failed);

// Writes every built-in asset that is missing from the home; files already
// present are left as they are (a damaged one is reported by the start-up
// checks and comes back once it is deleted). Each file is written beside
// its place and renamed into it, so no half-written asset is ever left.
// On failure `failed` names the first asset that could not be written.
bool InstallMissingAssets(Context& ctx, std::string& failed);

}  // namespace kr
