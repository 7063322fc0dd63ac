// bsdsocket.library: TCP connections to a named host, one call per step so
// that a caller can show each step. Descriptors are small non-negative
// numbers; -1 means failure, and ErrorText() then says why (the text the
// socket library gives for its current error).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

// One resolved address with its port set (an IPv4 or IPv6 socket address
// image as the host's socket calls take it).
struct SocketAddress {
  int family = 0;
  uint32_t length = 0;
  std::array<uint8_t, 128> bytes{};
};

class Sockets {
 public:
  virtual ~Sockets() = default;
  // gethostbyname for both address families: the addresses of `host` (a
  // name or an IPv4 or IPv6 literal), each with `port`. False when none.
  virtual bool Lookup(std::string_view host, uint16_t port, std::vector<SocketAddress>& out) = 0;
  // socket(): a stream socket of the address's family.
  virtual int Open(const SocketAddress& address) = 0;
  // connect(); false on refusal, timeout or cancellation.
  virtual bool Connect(int s, const SocketAddress& address) = 0;
  // send() of all `len` bytes; false when not all of them went out.
  virtual bool Send(int s, const void* data, size_t len) = 0;
  // recv() of at most `len` bytes: the count, 0 when the peer has ended the
  // connection, -1 on an error, a timeout or cancellation.
  virtual int64_t Receive(int s, void* buf, size_t len) = 0;
  // shutdown() both ways and CloseSocket().
  virtual void Close(int s) = 0;
  // gethostname(); empty when the host has no name.
  virtual std::string HostName() = 0;
  // The error text of the last failed call.
  virtual std::string ErrorText() = 0;
};

}  // namespace kr
