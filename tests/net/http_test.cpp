#include "net/http.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "loopback_server.h"
#include "platform/fake/fake_socket.h"
#include "platform/linux/linux_socket.h"
#include "support/named_cases.h"
#include "support/test_context.h"

namespace kr::test {
namespace {

TEST(HttpUrl, ServerDirectoryAndFileMakeHostPortAndPath) {
  struct Case {
    const char *server, *dir, *file, *host;
    uint16_t port;
    const char* path;
  };
  const Case cases[] = {
      {"http://example.org:8080/base", "db", "database.dbi", "example.org", 8080, "base/db/database.dbi"},
      {"example.org", "db", "database.dbi", "example.org", 80, "db/database.dbi"},
      {"example.org/", "db/", "x.dbe", "example.org", 80, "db/x.dbe"},
      {"example.org", "", "database.dbi", "example.org", 80, "database.dbi"},
      {"example.org", "", "", "example.org", 80, ""},
      {"[::1]:8081/m", "db", "f", "::1", 8081, "m/db/f"},
      {"[::1]", "", "f", "::1", 80, "f"},
      {"127.0.0.1:65535", "", "f", "127.0.0.1", 65535, "f"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    HttpTarget t;
    ASSERT_TRUE(SplitUrl(BuildUrl(c.server, c.dir, c.file), t));
    EXPECT_EQ(t.host, c.host);
    EXPECT_EQ(t.port, c.port);
    EXPECT_EQ(t.path, c.path);
  }
  // Addresses that cannot make a request.
  for (std::string_view bad : {"", "http://", ":8080", "/base", "host:", "host:0", "host:65536", "host:80x",
                               "host:123456", "[::1", "[::1]x", "[::1]:", "[]", "host\r", "ho st", "host/pa th",
                               "host/p\r\nX-Injected: 1",
                               "HTTP://example.org" /* only the exact prefix is taken off */}) {
    HttpTarget t;
    EXPECT_FALSE(SplitUrl(BuildUrl(bad, "", ""), t)) << bad;
  }
}

TEST(HttpUrl, RequestBytes) {
  HttpTarget t{"example.org", 8080, "base/db/database.dbi"};
  EXPECT_EQ(HttpRequestText(t, "modules@example.org"),
            "GET /base/db/database.dbi HTTP/1.0\r\n"
            "Host: example.org\r\n"
            "From: \"KelvaRANK VTS 2003\" <modules@example.org>\r\n"
            "User-Agent: KelvaRANK VTS 20031.001\r\n"
            "\r\n");
}

struct FakeFetch {
  TestContext t;
  FakeSockets sockets;
  StateRecorder state;
  Network net{sockets, state};
  std::vector<uint8_t> body;

  bool Get(size_t maxBody = 100000) {
    return HttpGet(t.ctx, net, "http://example.org:8080/base", "db", "database.dbi", maxBody, body);
  }
};

// Splits `text` into blocks of `size` bytes.
std::deque<std::string> Blocks(const std::string& text, size_t size) {
  std::deque<std::string> out;
  for (size_t i = 0; i < text.size(); i += size) out.push_back(text.substr(i, size));
  return out;
}

TEST(HttpGet, GoodResponseInAnyBlockingGivesTheBody) {
  std::string body = "0\0\0\0\0\0\0\0\0\0" + std::string(3000, 'B');
  body[0] = '0';
  const std::string longLine = "X-Long: " + std::string(200, 'L');
  std::string response = "HTTP/1.0 200 OK\r\nServer: t\r\n" + longLine + "\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\nContent-Type: x\r\n\r\n" + body;
  for (size_t blockSize : {size_t(1), size_t(7), size_t(80), size_t(1000), response.size()}) {
    SCOPED_TRACE(blockSize);
    FakeFetch f;
    f.sockets.blocks = Blocks(response, blockSize);
    ASSERT_TRUE(f.Get()) << f.state.last();
    EXPECT_EQ(std::string(f.body.begin(), f.body.end()), body);
    EXPECT_EQ(f.sockets.lookedUp, "example.org");
    EXPECT_EQ(f.sockets.port, 8080);
    EXPECT_EQ(f.sockets.sent,
              "GET /base/db/database.dbi HTTP/1.0\r\nHost: example.org\r\n"
              "From: \"KelvaRANK VTS 2003\" <modules@kelvarank.invalid>\r\n"
              "User-Agent: KelvaRANK VTS 20031.001\r\n\r\n");
    EXPECT_EQ(f.state.texts, (std::vector<std::string>{"Lookup...", "Creating socket...", "Connecting...",
                                                       "Receiving module...", "Receiving data..."}));
    EXPECT_EQ(f.sockets.closes, 1);
  }
  // Without Content-Length the body is what came before the end; an LF-only
  // header works too; the mailbox of the server description goes in "From:".
  FakeFetch f;
  std::strcpy(f.t.ctx.run.serverMailbox, "collect@example.net\r");
  f.sockets.blocks = {"HTTP/1.0 200 OK\nA: b\n\nbody", "more"};
  ASSERT_TRUE(f.Get());
  EXPECT_EQ(std::string(f.body.begin(), f.body.end()), "bodymore");
  EXPECT_NE(f.sockets.sent.find("<collect@example.net>\r\n"), std::string::npos);
}

// A response the fetch refuses: it ends with the state text shown, keeps no
// body and closes the socket once.
struct BadResponse {
  const char* name;
  std::deque<std::string> blocks;
  std::string state;
  bool failAfter = false;
};
void PrintTo(const BadResponse& c, std::ostream* os) { *os << c.name; }

std::vector<BadResponse> BadResponses() {
  const std::string esc = "\x1b";
  return {
      {"404", {"HTTP/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nno!"}, std::string(net::kNotFound)},
      {"status 2000", {"HTTP/1.0 2000 OK\r\n\r\nx"}, std::string(net::kNotFound)},
      {"no status", {"HTTP/1.0\r\n\r\nx"}, std::string(net::kNotFound)},
      {"nothing at all", {}, std::string(net::kNotFound)},
      {"status line never ends", {"HTTP/1.0 200 OK"}, std::string(net::kNotFound)},
      {"header never ends", {"HTTP/1.0 200 OK\r\nA: b\r\n"}, std::string(net::kIncomplete)},
      {"body shorter than Content-Length", {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n12345"},
       std::string(net::kIncomplete)},
      {"Content-Length over the limit", {"HTTP/1.0 200 OK\r\nContent-Length: 101\r\n\r\n"},
       std::string(net::kBadResponse)},
      {"Content-Length not a number", {"HTTP/1.0 200 OK\r\nContent-Length: 1x\r\n\r\n1"},
       std::string(net::kBadResponse)},
      {"two different lengths", {"HTTP/1.0 200 OK\r\nContent-Length: 1\r\ncontent-length: 2\r\n\r\n12"},
       std::string(net::kBadResponse)},
      {"body over the limit", {"HTTP/1.0 200 OK\r\n\r\n" + std::string(101, 'x')}, std::string(net::kBadResponse)},
      {"endless header", Blocks("HTTP/1.0 200 OK\r\n" + std::string(70000, 'h'), 1000),
       std::string(net::kBadResponse)},
      {"connection reset in the body", {"HTTP/1.0 200 OK\r\n\r\nabc"}, esc + "bERROR" + esc + "n: Connection reset",
       true},
  };
}

class HttpBadResponse : public ::testing::TestWithParam<BadResponse> {};

TEST_P(HttpBadResponse, EndsWithItsStateText) {
  const BadResponse& c = GetParam();
  FakeFetch f;
  f.sockets.blocks = c.blocks;
  f.sockets.failAfterBlocks = c.failAfter;
  f.sockets.errorText = "Connection reset";
  EXPECT_FALSE(f.Get(100));
  EXPECT_EQ(f.state.last(), c.state);
  EXPECT_TRUE(f.body.empty());
  EXPECT_EQ(f.sockets.closes, 1);
}

INSTANTIATE_TEST_SUITE_P(HttpGet, HttpBadResponse, ::testing::ValuesIn(BadResponses()), ByCaseName());

TEST(HttpGet, ConnectionFailuresShowTheSocketError) {
  const std::string prefix(net::kNetErrorPrefix);
  {
    FakeFetch f;
    f.sockets.lookupFails = true;
    EXPECT_FALSE(f.Get());
    EXPECT_EQ(f.state.texts, (std::vector<std::string>{"Lookup...", prefix + "Name or service not known"}));
    EXPECT_EQ(f.sockets.opens, 0);
  }
  {
    FakeFetch f;
    f.sockets.connectFails = true;
    EXPECT_FALSE(f.Get());
    EXPECT_EQ(f.state.last(), prefix + "Connection refused");
    EXPECT_EQ(f.sockets.closes, 1);
  }
  {
    FakeFetch f;
    f.sockets.sendsAllowed = 0;
    EXPECT_FALSE(f.Get());
    EXPECT_EQ(f.state.last(), net::kCantSendRequest);
  }
  {
    FakeFetch f;
    std::vector<uint8_t> body;
    EXPECT_FALSE(HttpGet(f.t.ctx, f.net, "http://:80", "", "database.dbi", 10, body));
    EXPECT_EQ(f.state.texts, std::vector<std::string>{std::string(net::kBadAddress)});
    EXPECT_TRUE(f.sockets.lookedUp.empty());
  }
}

// Real sockets on the loopback interface.
struct LoopbackFetch {
  TestContext t;
  std::atomic<bool> cancel{false};
  LinuxSockets sockets{SocketOptions{300, 5000, 20, &cancel}};
  StateRecorder state;
  Network net{sockets, state};
  std::vector<uint8_t> body;
};

TEST(HttpGetLoopback, DownloadsOverIpv4AndIpv6) {
  for (bool ipv6 : {false, true}) {
    SCOPED_TRACE(ipv6 ? "IPv6" : "IPv4");
    std::string request;
    LoopbackServer server(
        [&](int fd) {
          request = ReadUntil(fd, "\r\n\r\n");
          SendText(fd, "HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n");
          SendText(fd, std::string(5000, 'z'));
        },
        ipv6);
    if (!server.ok()) {
      if (ipv6) GTEST_SKIP() << "no IPv6 loopback here";
      FAIL();
    }
    LoopbackFetch f;
    std::string host = ipv6 ? "[::1]" : "127.0.0.1";
    ASSERT_TRUE(HttpGet(f.t.ctx, f.net, "http://" + host + ":" + std::to_string(server.port()), "db", "x.dbe", 9504,
                        f.body))
        << f.state.last();
    EXPECT_EQ(f.body, std::vector<uint8_t>(5000, 'z'));
    std::string hostHeader = ipv6 ? "::1" : "127.0.0.1";
    EXPECT_EQ(request.substr(0, request.find("From:")), "GET /db/x.dbe HTTP/1.0\r\nHost: " + hostHeader + "\r\n");
  }
}

TEST(HttpGetLoopback, SilentRefusingAndCancelledServersEndInTime) {
  const std::string prefix(net::kNetErrorPrefix);
  {
    // Accepts and never answers: the receive gives up after its timeout.
    LoopbackServer server([](int fd) { ReadUntil(fd, "never"); });
    ASSERT_TRUE(server.ok());
    LoopbackFetch f;
    EXPECT_FALSE(HttpGet(f.t.ctx, f.net, "127.0.0.1:" + std::to_string(server.port()), "", "database.dbi", 100,
                         f.body));
    EXPECT_EQ(f.state.last(), prefix + "Connection timed out");
  }
  {
    // Sends the header and stops half way through the body.
    LoopbackServer server([](int fd) {
      ReadUntil(fd, "\r\n\r\n");
      SendText(fd, "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n12345");
      ReadUntil(fd, "never");
    });
    LoopbackFetch f;
    EXPECT_FALSE(HttpGet(f.t.ctx, f.net, "127.0.0.1:" + std::to_string(server.port()), "", "database.dbi", 100,
                         f.body));
    EXPECT_EQ(f.state.last(), prefix + "Connection timed out");
    EXPECT_TRUE(f.body.empty());
  }
  {
    // Cancelled from the front end while waiting.
    LoopbackServer server([](int fd) { ReadUntil(fd, "never"); });
    LoopbackFetch f;
    f.sockets.options().timeoutMs = 5000;
    f.cancel = true;
    EXPECT_FALSE(HttpGet(f.t.ctx, f.net, "127.0.0.1:" + std::to_string(server.port()), "", "database.dbi", 100,
                         f.body));
    EXPECT_EQ(f.state.last(), prefix + "Operation canceled");
  }
  {
    // Nobody listens on the port any more.
    uint16_t port;
    {
      LoopbackServer gone([](int) {});
      port = gone.port();
    }
    LoopbackFetch f;
    EXPECT_FALSE(HttpGet(f.t.ctx, f.net, "127.0.0.1:" + std::to_string(port), "", "database.dbi", 100, f.body));
    EXPECT_EQ(f.state.last(), prefix + "Connection refused");
  }
}

}  // namespace
}  // namespace kr::test
