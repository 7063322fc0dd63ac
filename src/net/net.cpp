#include "net/net.h"

#include "engine/context.h"

namespace kr {

std::string CollectionMailbox(const Context& ctx) {
  // The line up to its first blank or control byte (a CR of a CR LF file).
  std::string box;
  for (const char* p = ctx.run.serverMailbox; *p && (unsigned char)(*p) > 32; ++p) box += *p;
  return box.empty() ? std::string(net::kDefaultMailbox) : box;
}

void ShowNetError(Network& net) {
  std::string text = std::string(net::kNetErrorPrefix) + net.sockets.ErrorText();
  if (text.size() > 127) text.resize(127);
  net.state.ShowState(text);
}

int NetConnect(Network& net, std::string_view host, uint16_t port) {
  net.state.ShowState(net::kLookup);
  std::vector<SocketAddress> addresses;
  if (!net.sockets.Lookup(host, port, addresses)) {
    ShowNetError(net);
    return -1;
  }
  // Every address the name has, in the resolver's order; the error shown is
  // the last one's.
  for (const SocketAddress& a : addresses) {
    net.state.ShowState(net::kCreatingSocket);
    int s = net.sockets.Open(a);
    if (s < 0) continue;
    net.state.ShowState(net::kConnecting);
    if (net.sockets.Connect(s, a)) return s;
    net.sockets.Close(s);
  }
  ShowNetError(net);
  return -1;
}

}  // namespace kr
