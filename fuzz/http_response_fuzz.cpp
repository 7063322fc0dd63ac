// HTTP responses: the first byte sets the size of the receive blocks, the
// rest is what the server sends for the module list; the whole download
// runs (status, header across blocks, length, index check, Server database).
#include "fuzz_context.h"
#include "modules/module_base.h"
#include "net/download.h"
#include "platform/fake/fake_socket.h"

namespace {
struct NoState : kr::StateLine {
  void ShowState(std::string_view) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kr;
  if (size < 1) return 0;
  const fuzz::Home& home = fuzz::TheHome();
  fuzz::FuzzContext f(home);
  std::snprintf(f.ctx.run.serverHost, sizeof f.ctx.run.serverHost, "collection.invalid");
  std::snprintf(f.ctx.run.serverPath, sizeof f.ctx.run.serverPath, "kr");
  FakeSockets sockets;
  const size_t block = size_t(data[0]) + 1;
  for (size_t at = 1; at < size; at += block)
    sockets.blocks.emplace_back(reinterpret_cast<const char*>(data) + at, std::min(block, size - at));
  sockets.failAfterBlocks = (data[0] & 1) != 0;
  NoState state;
  Network net{sockets, state};
  if (RetrieveServerList(f.ctx, net)) {
    for (const IndexEntry& e : f.ctx.modules.server)
      if (LocalModulePath(e.serial()).empty()) __builtin_trap();
  }
  return 0;
}
