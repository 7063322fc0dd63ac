#include "platform/linux/linux_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kr {

namespace {
int64_t NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
}  // namespace

LinuxSockets::~LinuxSockets() {
  for (auto& [s, d] : deadline_) ::close(s);
}

void LinuxSockets::SetError(int err) { error_ = std::strerror(err); }

bool LinuxSockets::Lookup(std::string_view host, uint16_t port, std::vector<SocketAddress>& out) {
  out.clear();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  std::string name(host);
  int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (rc != 0) {
    error_ = rc == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(rc);
    return false;
  }
  for (addrinfo* a = list; a; a = a->ai_next) {
    if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) || a->ai_addrlen > sizeof(SocketAddress::bytes)) continue;
    SocketAddress sa;
    sa.family = a->ai_family;
    sa.length = uint32_t(a->ai_addrlen);
    std::memcpy(sa.bytes.data(), a->ai_addr, a->ai_addrlen);
    if (a->ai_family == AF_INET) reinterpret_cast<sockaddr_in*>(sa.bytes.data())->sin_port = htons(port);
    else reinterpret_cast<sockaddr_in6*>(sa.bytes.data())->sin6_port = htons(port);
    out.push_back(sa);
  }
  ::freeaddrinfo(list);
  if (out.empty()) error_ = gai_strerror(EAI_NONAME);
  return !out.empty();
}

int LinuxSockets::Open(const SocketAddress& address) {
  int s = ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (s < 0) {
    SetError(errno);
    return -1;
  }
  deadline_[s] = NowMs() + options_.connectionLimitMs;
  return s;
}

bool LinuxSockets::Wait(int s, short events) {
  int64_t now = NowMs();
  int64_t end = now + options_.timeoutMs;
  auto it = deadline_.find(s);
  if (it != deadline_.end() && it->second < end) end = it->second;
  for (;;) {
    if (options_.cancel && options_.cancel->load(std::memory_order_relaxed)) {
      SetError(ECANCELED);
      return false;
    }
    now = NowMs();
    if (now >= end) {
      SetError(ETIMEDOUT);
      return false;
    }
    pollfd p{s, events, 0};
    int slice = int(std::min<int64_t>(end - now, options_.sliceMs));
    int rc = ::poll(&p, 1, slice);
    if (rc < 0 && errno != EINTR) {
      SetError(errno);
      return false;
    }
    if (rc > 0) return true;
  }
}

bool LinuxSockets::Connect(int s, const SocketAddress& address) {
  if (::connect(s, reinterpret_cast<const sockaddr*>(address.bytes.data()), socklen_t(address.length)) == 0)
    return true;
  if (errno != EINPROGRESS) {
    SetError(errno);
    return false;
  }
  if (!Wait(s, POLLOUT)) return false;
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  if (err != 0) {
    SetError(err);
    return false;
  }
  return true;
}

bool LinuxSockets::Send(int s, const void* data, size_t len) {
  const char* p = static_cast<const char*>(data);
  while (len > 0) {
    ssize_t n = ::send(s, p, len, MSG_NOSIGNAL);
    if (n > 0) {
      p += n;
      len -= size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      SetError(errno);
      return false;
    }
    if (!Wait(s, POLLOUT)) return false;
  }
  return true;
}

int64_t LinuxSockets::Receive(int s, void* buf, size_t len) {
  for (;;) {
    ssize_t n = ::recv(s, buf, len, 0);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      SetError(errno);
      return -1;
    }
    if (!Wait(s, POLLIN)) return -1;
  }
}

void LinuxSockets::Close(int s) {
  if (s < 0) return;
  ::shutdown(s, SHUT_RDWR);
  ::close(s);
  deadline_.erase(s);
}

std::string LinuxSockets::HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace kr
