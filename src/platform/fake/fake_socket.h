// A scripted socket service: lookups, connects and the blocks each receive
// returns come from a script; everything sent is recorded. One connection
// at a time. Receive returns the next block of the script, then 0 (the
// peer's end), or -1 with `receiveError` when `failAfterBlocks` is set.
#pragma once

#include <deque>
#include <string>

#include "platform/socket.h"

namespace kr {

class FakeSockets : public Sockets {
 public:
  // Script.
  bool lookupFails = false;
  bool connectFails = false;
  std::string errorText = "Connection refused";
  std::deque<std::string> blocks;   // what successive receives return
  bool failAfterBlocks = false;     // -1 instead of 0 once the blocks are used up
  std::string hostName = "testhost";
  // Closes the send side after this many sends (-1: never).
  int sendsAllowed = -1;

  // Record.
  std::string sent;
  std::string lookedUp;
  uint16_t port = 0;
  int opens = 0, closes = 0;

  bool Lookup(std::string_view host, uint16_t p, std::vector<SocketAddress>& out) override {
    lookedUp = std::string(host);
    port = p;
    out.clear();
    if (lookupFails) {
      error_ = "Name or service not known";
      return false;
    }
    out.push_back(SocketAddress{});
    return true;
  }
  int Open(const SocketAddress&) override {
    ++opens;
    return 3;
  }
  bool Connect(int, const SocketAddress&) override {
    if (connectFails) error_ = errorText;
    return !connectFails;
  }
  bool Send(int, const void* data, size_t len) override {
    if (sendsAllowed == 0) {
      error_ = "Broken pipe";
      return false;
    }
    if (sendsAllowed > 0) --sendsAllowed;
    sent.append(static_cast<const char*>(data), len);
    return true;
  }
  int64_t Receive(int, void* buf, size_t len) override {
    if (blocks.empty()) {
      if (!failAfterBlocks) return 0;
      error_ = errorText;
      return -1;
    }
    std::string& b = blocks.front();
    size_t n = b.size() < len ? b.size() : len;
    b.copy(static_cast<char*>(buf), n);
    b.erase(0, n);
    if (b.empty()) blocks.pop_front();
    return int64_t(n);
  }
  void Close(int) override { ++closes; }
  std::string HostName() override { return hostName; }
  std::string ErrorText() override { return error_; }

 private:
  std::string error_;
};

}  // namespace kr
