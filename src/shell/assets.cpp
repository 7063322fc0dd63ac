#include "shell/assets.h"

#include <array>

// The asset files are pulled in by the assembler at build time. CMake passes
// their absolute paths as KR_ASSET_* and lists them as OBJECT_DEPENDS, so a
// changed asset rebuilds this file.
#if !defined(KR_ASSET_MP3) || !defined(KR_ASSET_LOGO) || !defined(KR_ASSET_GUIDE)
#error "KR_ASSET_MP3, KR_ASSET_LOGO and KR_ASSET_GUIDE must name the asset files"
#endif

#define KR_EMBED(sym, file)                  \
  __asm__(                                   \
      ".section .rodata\n"                   \
      ".balign 16\n"                         \
      ".type " #sym "_begin, @object\n" #sym \
      "_begin:\n"                            \
      ".incbin \"" file                      \
      "\"\n"                                 \
      ".type " #sym "_end, @object\n" #sym   \
      "_end:\n"                              \
      ".byte 0\n"                            \
      ".previous\n")

KR_EMBED(kr_asset_mp3, KR_ASSET_MP3);
KR_EMBED(kr_asset_logo, KR_ASSET_LOGO);
KR_EMBED(kr_asset_guide, KR_ASSET_GUIDE);

extern "C" {
// Local labels of the blocks above (same translation unit).
extern const uint8_t kr_asset_mp3_begin[] __asm__("kr_asset_mp3_begin");
extern const uint8_t kr_asset_mp3_end[] __asm__("kr_asset_mp3_end");
extern const uint8_t kr_asset_logo_begin[] __asm__("kr_asset_logo_begin");
extern const uint8_t kr_asset_logo_end[] __asm__("kr_asset_logo_end");
extern const uint8_t kr_asset_guide_begin[] __asm__("kr_asset_guide_begin");
extern const uint8_t kr_asset_guide_end[] __asm__("kr_asset_guide_end");
}

namespace kr {
namespace {

std::span<const uint8_t> Bytes(const uint8_t* begin, const uint8_t* end) {
  return {begin, static_cast<size_t>(end - begin)};
}

// The folders above a new home ("~/.local/share" may not exist yet).
void MakeParents(Context& ctx, const std::string& host) {
  for (size_t i = host.find('/', 1); i != std::string::npos; i = host.find('/', i + 1)) {
    std::string prefix = host.substr(0, i);
    if (prefix.find(':') != std::string::npos) return;  // not a plain host path
    if (!ctx.dos.IsDir(prefix)) ctx.dos.CreateDir(prefix);
  }
}

}  // namespace

std::span<const Asset> BuiltinAssets() {
  static const std::array<Asset, 3> kAssets = {{
      {"PROGDIR:Data/mp3cdda.mp3", Bytes(kr_asset_mp3_begin, kr_asset_mp3_end)},
      {"PROGDIR:Data/logo.pic", Bytes(kr_asset_logo_begin, kr_asset_logo_end)},
      {"PROGDIR:Docs/KelvaRANK_english.guide", Bytes(kr_asset_guide_begin, kr_asset_guide_end)},
  }};
  return kAssets;
}

std::span<const std::string_view> HomeFolders() {
  static constexpr std::array<std::string_view, 7> kFolders = {
      "PROGDIR:",         "PROGDIR:Data",           "PROGDIR:Reports",
      "PROGDIR:Database", "PROGDIR:Database/Local", "PROGDIR:Database/Server",
      "PROGDIR:Docs",
  };
  return kFolders;
}

bool MakeHomeFolders(Context& ctx, std::string& failed) {
  for (std::string_view dir : HomeFolders()) {
    if (ctx.dos.IsDir(dir)) continue;
    if (dir == "PROGDIR:") MakeParents(ctx, ctx.dos.HostPath(dir));
    if (!ctx.dos.CreateDir(dir) && !ctx.dos.IsDir(dir)) {
      failed = ctx.dos.HostPath(dir);
      return false;
    }
  }
  return true;
}

bool InstallMissingAssets(Context& ctx, std::string& failed) {
  for (const Asset& a : BuiltinAssets()) {
    if (ctx.dos.FileSize(a.path) >= 0 || ctx.dos.IsDir(a.path)) continue;
    if (!ctx.dos.WriteFileAtomic(a.path, a.bytes.data(), a.bytes.size())) {
      failed = ctx.dos.HostPath(a.path);
      return false;
    }
  }
  return true;
}

}  // namespace kr
