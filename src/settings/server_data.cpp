#include "settings/server_data.h"

#include <cstring>
#include <string>

#include "engine/errorlog.h"

namespace kr {

bool LoadServerData(Context& ctx) {
  int64_t fh = ctx.dos.Open(kServerDataFile, MODE_OLDFILE);
  if (fh == 0) {
    LogError(ctx, "SERVER", "LoadServerData", "Error open file!");
    return false;
  }
  RunState& run = ctx.run;
  std::memset(run.serverHost, 0, sizeof run.serverHost);
  std::memset(run.serverPath, 0, sizeof run.serverPath);
  std::memset(run.serverMailbox, 0, sizeof run.serverMailbox);
  char* fields[3] = {run.serverHost, run.serverPath, run.serverMailbox};
  size_t used[3] = {0, 0, 0};
  int line = 0;
  uint8_t buf[512];
  // Byte by byte as the lines go; reading stops once line 3 has ended.
  while (line < 3) {
    int64_t got = ctx.dos.Read(fh, buf, sizeof buf);
    if (got <= 0) break;
    for (int64_t i = 0; i < got && line < 3; ++i) {
      uint8_t c = buf[i];
      if (c == 10) {
        ++line;
        continue;
      }
      if (used[line] < sizeof run.serverHost - 1) fields[line][used[line]++] = char(c);
    }
  }
  ctx.dos.Close(fh);
  return true;
}

bool WriteServerData(Context& ctx, std::string_view host, std::string_view path) {
  auto fits = [](std::string_view s) {
    return s.size() <= 127 && s.find('\n') == std::string_view::npos && s.find('\0') == std::string_view::npos;
  };
  if (!fits(host) || !fits(path)) return false;
  std::string text = std::string(host) + "\n" + std::string(path);
  return ctx.dos.WriteFileAtomic(kServerDataFile, text.data(), text.size());
}

}  // namespace kr
