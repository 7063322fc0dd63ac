// Data/server.txt: read as start-up reads it, then turned into what the
// transfers build from it: the URL, host, port and path, the request text
// and the collection mailbox.
#include "fuzz_context.h"
#include "net/http.h"
#include "net/net.h"
#include "settings/server_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kr;
  const fuzz::Home& home = fuzz::TheHome();
  fuzz::FuzzContext f(home);
  home.Put("Data/server.txt", data, size);
  if (!LoadServerData(f.ctx)) return 0;
  std::string mailbox = CollectionMailbox(f.ctx);
  HttpTarget t;
  if (SplitUrl(BuildUrl(f.ctx.run.serverHost, f.ctx.run.serverPath, "database.dbi"), t)) {
    std::string request = HttpRequestText(t, mailbox);
    // A request is its five lines and nothing else: no field may end a line.
    size_t lines = 0;
    for (size_t i = 0; i < request.size(); ++i) {
      const bool cr = request[i] == '\r', lf = request[i] == '\n';
      if ((cr && (i + 1 == request.size() || request[i + 1] != '\n')) || (lf && (i == 0 || request[i - 1] != '\r')))
        __builtin_trap();
      lines += lf;
    }
    if (lines != 5 || !request.ends_with("\r\n\r\n")) __builtin_trap();
  }
  return 0;
}
