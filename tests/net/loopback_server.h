// A small scripted server on the loopback interface, in a thread: each
// accepted connection is handed to the script. Only 127.0.0.1 or ::1.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <thread>

#include "net/net.h"

namespace kr::test {

class LoopbackServer {
 public:
  using Script = std::function<void(int fd)>;

  // Serves up to `connections` connections, one after the other.
  explicit LoopbackServer(Script script, bool ipv6 = false, int connections = 1) : script_(std::move(script)) {
    listen_ = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    bool bound = false;
    if (ipv6) {
      sockaddr_in6 a{};
      a.sin6_family = AF_INET6;
      a.sin6_addr = in6addr_loopback;
      bound = ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    } else {
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      bound = ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    if (!bound || ::listen(listen_, 4) != 0) {
      ::close(listen_);
      listen_ = -1;
      return;
    }
    sockaddr_storage st{};
    socklen_t len = sizeof st;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&st), &len);
    port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&st)->sin6_port : reinterpret_cast<sockaddr_in*>(&st)->sin_port);
    thread_ = std::thread([this, connections] {
      for (int n = 0; n < connections && !stop_; ++n) {
        int fd = -1;
        while (!stop_ && fd < 0) {
          pollfd p{listen_, POLLIN, 0};
          if (::poll(&p, 1, 50) > 0) fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        }
        if (fd < 0) return;
        script_(fd);
        ::close(fd);
      }
    });
  }
  ~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) ::close(listen_);
  }
  bool ok() const { return listen_ >= 0; }
  uint16_t port() const { return port_; }
  const std::atomic<bool>& stopping() const { return stop_; }

 private:
  Script script_;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

inline void SendText(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (n <= 0) return;
    text.remove_prefix(size_t(n));
  }
}

// Reads until `end` has arrived, the peer closes, or 5 s pass without data.
inline std::string ReadUntil(int fd, std::string_view end) {
  std::string got;
  char buf[4096];
  while (got.find(end) == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) break;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, size_t(n));
  }
  return got;
}

// Records every state text shown.
struct StateRecorder : StateLine {
  std::vector<std::string> texts;
  void ShowState(std::string_view text) override { texts.emplace_back(text); }
  std::string last() const { return texts.empty() ? std::string() : texts.back(); }
};

// An HTTP/1.0 server answering each request from a table of paths; other
// paths get 404.
inline LoopbackServer::Script Serve(std::map<std::string, std::string> responses) {
  return [responses](int fd) {
    std::string request = ReadUntil(fd, "\r\n\r\n");
    size_t sp = request.find(' '), end = request.find(' ', sp + 1);
    std::string path = sp == std::string::npos ? "" : request.substr(sp + 1, end - sp - 1);
    auto it = responses.find(path);
    SendText(fd, it != responses.end() ? it->second : "HTTP/1.0 404 Not Found\r\n\r\n");
  };
}

inline std::string Ok(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// An SMTP server that accepts everything and keeps what it was sent.
struct SmtpServer {
  std::string received;
  LoopbackServer server{[this](int fd) {
    SendText(fd, "220 test ESMTP\r\n");
    for (;;) {
      std::string line = ReadUntil(fd, "\r\n");
      if (line.empty()) return;
      received += line;
      if (line.rfind("DATA", 0) == 0) {
        SendText(fd, "354 go on\r\n");
        std::string body = ReadUntil(fd, "\r\n.\r\n");
        received += body;
        SendText(fd, "250 queued\r\n");
      } else if (line.rfind("QUIT", 0) == 0) {
        SendText(fd, "221 bye\r\n");
        return;
      } else {
        SendText(fd, "250 ok\r\n");
      }
    }
  }};
};

}  // namespace kr::test
