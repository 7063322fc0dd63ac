#pragma once

#include <atomic>
#include <map>
#include <string>

#include "platform/socket.h"

namespace kr {

// POSIX sockets with getaddrinfo (IPv4 and IPv6). No call can hang: connect,
// each send and each receive give up after `timeoutMs` without progress, a
// whole connection after `connectionLimitMs`, and all of them stop within
// `sliceMs` once `*cancel` is set (errors "Connection timed out" and
// "Operation canceled"). Name lookup is the resolver's and is not bounded.
struct SocketOptions {
  int timeoutMs = 30000;
  int connectionLimitMs = 600000;
  int sliceMs = 100;
  const std::atomic<bool>* cancel = nullptr;
};

class LinuxSockets : public Sockets {
 public:
  explicit LinuxSockets(SocketOptions options = {}) : options_(options) {}
  ~LinuxSockets() override;

  bool Lookup(std::string_view host, uint16_t port, std::vector<SocketAddress>& out) override;
  int Open(const SocketAddress& address) override;
  bool Connect(int s, const SocketAddress& address) override;
  bool Send(int s, const void* data, size_t len) override;
  int64_t Receive(int s, void* buf, size_t len) override;
  void Close(int s) override;
  std::string HostName() override;
  std::string ErrorText() override { return error_; }

  SocketOptions& options() { return options_; }

 private:
  // Waits until `s` is ready for `events`; false (error set) on timeout,
  // cancellation or a poll failure.
  bool Wait(int s, short events);
  void SetError(int err);

  SocketOptions options_;
  std::string error_;
  std::map<int, int64_t> deadline_;  // descriptor -> end of its connection limit (ms, monotonic)
};

}  // namespace kr
