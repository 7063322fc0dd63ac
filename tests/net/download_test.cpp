#include "net/download.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loopback_server.h"
#include "modules/module_base.h"
#include "net_fixture.h"
#include "platform/fake/fake_socket.h"

namespace kr::test {
namespace {

using namespace net_files;

std::string Response(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string IndexOf(const std::vector<IndexEntry>& entries) {
  std::vector<uint8_t> b = IndexBytes(entries);
  return std::string(b.begin(), b.end());
}

// One block per byte.
std::deque<std::string> Blocks1(const std::string& text) {
  std::deque<std::string> out;
  for (char c : text) out.emplace_back(1, c);
  return out;
}

struct Fetch {
  TestContext t;
  FakeSockets sockets;
  StateRecorder state;
  Network net{sockets, state};
  std::string serverIndex() const { return Read(t.home.path() + "/Database/Server/database.dbi"); }

  Fetch() {
    std::strcpy(t.ctx.run.serverHost, "http://example.org:8080/base");
    std::strcpy(t.ctx.run.serverPath, "db");
  }
};

TEST(RetrieveServerList, CompleteIndexReplacesTheServerDatabase) {
  Fetch f;
  IndexEntry good = MakeIndexEntry(MakeModule(f.t.ctx, "ann"));
  IndexEntry slash = MakeIndexEntry(MakeModule(f.t.ctx, "bob"));
  slash.set_text(idx::kSerial, 35, "0x0123456789ABCDEF0123456789ABC/..");
  IndexEntry lower = MakeIndexEntry(MakeModule(f.t.ctx, "cy"));
  lower.set_text(idx::kSerial, 35, "0x0123456789abcdef0123456789abcdef");
  const std::string index = IndexOf({good, slash, lower});
  f.sockets.blocks = {Response(index)};
  ASSERT_TRUE(RetrieveServerList(f.t.ctx, f.net)) << f.state.last();
  EXPECT_EQ(f.sockets.sent.substr(0, f.sockets.sent.find("\r\n")), "GET /base/db/database.dbi HTTP/1.0");
  EXPECT_EQ(f.serverIndex(), index);  // stored as received
  // Only the entry whose serial can name a file is offered.
  ASSERT_EQ(f.t.ctx.modules.server.size(), 1u);
  EXPECT_EQ(f.t.ctx.modules.server[0].serial(), good.serial());
  ASSERT_EQ(f.t.ctx.errorLog.entries.size(), 1u);
  EXPECT_STREQ(f.t.ctx.errorLog.entries[0].location, "SERVER");
  EXPECT_STREQ(f.t.ctx.errorLog.entries[0].function, "RetrieveServerList");
  EXPECT_EQ(f.state.last(), "Transfer completed.");
  EXPECT_EQ(Names(f.t.home.path() + "/Database/Server"), std::vector<std::string>{"database.dbi"});
}

TEST(RetrieveServerList, AnyFailureKeepsTheOldServerDatabase) {
  IndexEntry old;
  std::string oldIndex;
  {
    Fetch f;
    old = MakeIndexEntry(MakeModule(f.t.ctx, "old"));
    oldIndex = IndexOf({old});
  }
  const std::string two = [] {
    Fetch g;
    return IndexOf({MakeIndexEntry(MakeModule(g.t.ctx, "a")), MakeIndexEntry(MakeModule(g.t.ctx, "b"))});
  }();
  struct Case {
    const char* what;
    std::deque<std::string> blocks;
    std::string state;
  };
  std::string countless = two;
  countless.replace(0, 10, std::string("abc\0\0\0\0\0\0\0", 10));
  std::string negative = two;
  negative.replace(0, 10, std::string("-2\0\0\0\0\0\0\0\0", 10));
  const Case cases[] = {
      {"404", {"HTTP/1.0 404 Not Found\r\n\r\n<html>"}, std::string(net::kNotFound)},
      {"body shorter than Content-Length", {Response(two).substr(0, Response(two).size() - 500)},
       std::string(net::kIncomplete)},
      {"one byte short of two entries", {"HTTP/1.0 200 OK\r\n\r\n" + two.substr(0, two.size() - 1)},
       std::string(net::kBadDatabase)},
      {"count says three", {"HTTP/1.0 200 OK\r\n\r\n3" + two.substr(1)}, std::string(net::kBadDatabase)},
      {"count is no number", {Response(countless)}, std::string(net::kBadDatabase)},
      {"count is negative", {Response(negative)}, std::string(net::kBadDatabase)},
      {"an HTML page", {Response("<html>not found</html>")}, std::string(net::kBadDatabase)},
      {"header split over many blocks, then cut", Blocks1("HTTP/1.0 200 OK\r\nX: " + std::string(300, 'x')),
       std::string(net::kIncomplete)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fetch f;
    Write(f.t.home.path() + "/Database/Server/database.dbi", oldIndex);
    ASSERT_TRUE(LoadIndex(f.t.ctx, Database::Server));
    f.sockets.blocks = c.blocks;
    EXPECT_FALSE(RetrieveServerList(f.t.ctx, f.net));
    EXPECT_EQ(f.state.last(), c.state);
    EXPECT_EQ(f.serverIndex(), oldIndex);
    ASSERT_EQ(f.t.ctx.modules.server.size(), 1u);
    EXPECT_EQ(f.t.ctx.modules.server[0].serial(), old.serial());
    EXPECT_EQ(Names(f.t.home.path() + "/Database/Server"), std::vector<std::string>{"database.dbi"});
  }
}

struct Download : Fetch {
  ModuleRecord module;
  IndexEntry entry;
  std::string file;
  Download() {
    module = MakeModule(t.ctx, "dan");
    entry = MakeIndexEntry(module);
    file = FileBytes(module);
  }
  std::string LocalFile() const { return t.home.path() + "/Database/Local/" + std::string(entry.serial()) + ".dbe"; }
};

TEST(DownloadModule, AValidModuleWithTheRequestedSerialIsStored) {
  Download d;
  d.sockets.blocks = {Response(d.file)};
  ASSERT_EQ(DownloadModule(d.t.ctx, d.net, d.entry), DownloadResult::Downloaded) << d.state.last();
  EXPECT_EQ(d.sockets.sent.substr(0, d.sockets.sent.find("\r\n")),
            "GET /base/db/" + std::string(d.entry.serial()) + ".dbe HTTP/1.0");
  EXPECT_EQ(Read(d.LocalFile()), d.file);
  ASSERT_EQ(d.t.ctx.modules.local.size(), 1u);
  EXPECT_EQ(d.t.ctx.modules.local[0].bytes, d.entry.bytes);
  EXPECT_EQ(Read(d.t.home.path() + "/Database/Local/database.dbi"), IndexOf({d.entry}));
  EXPECT_EQ(d.state.last(), "Transfer completed.");

  // A second time: the requester, nothing fetched.
  d.sockets.sent.clear();
  EXPECT_EQ(DownloadModule(d.t.ctx, d.net, d.entry), DownloadResult::AlreadyLocal);
  EXPECT_TRUE(d.sockets.sent.empty());
  ASSERT_EQ(d.t.requester.asked.size(), 1u);
  EXPECT_EQ(d.t.requester.asked[0].text, "Module is already 'Local'");
}

TEST(DownloadModule, AnythingElseLeavesNoFile) {
  Download base;
  std::string otherModule = [] {
    Download o;
    return FileBytes(MakeModule(o.t.ctx, "someone else"));
  }();
  std::string notValid = base.file;
  notValid[mod::kSerial] ^= 0x55;  // the serial no longer starts with "0x"
  // Bytes that do not hash to the serial they carry: one changed on the way,
  // or another module's figures under this module's serial.
  std::string damaged = base.file;
  damaged[4000] ^= 0x01;
  ModuleRecord swapped = MakeModule(base.t.ctx, "dan", 99.0);
  swapped.set_text(mod::kSerial, mod::kSerialWidth, base.entry.serial());
  struct Case {
    const char* what;
    std::deque<std::string> blocks;
  };
  const Case cases[] = {
      {"404", {"HTTP/1.0 404 Not Found\r\n\r\n"}},
      {"short body", {Response(base.file).substr(0, 5000)}},
      {"a byte too many", {"HTTP/1.0 200 OK\r\n\r\n" + base.file + "x"}},
      {"a byte too few", {"HTTP/1.0 200 OK\r\n\r\n" + base.file.substr(1)}},
      {"another module", {Response(otherModule)}},
      {"not a valid module", {Response(notValid)}},
      {"not scrambled", {Response(std::string(base.module.bytes.begin(), base.module.bytes.end()))}},
      {"a byte changed", {Response(damaged)}},
      {"other bytes under this serial", {Response(FileBytes(swapped))}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Download d;
    d.sockets.blocks = c.blocks;
    EXPECT_EQ(DownloadModule(d.t.ctx, d.net, d.entry), DownloadResult::Failed);
    EXPECT_EQ(d.state.last(), net::kCantDownload);
    EXPECT_TRUE(Names(d.t.home.path() + "/Database/Local").empty());
    EXPECT_TRUE(d.t.ctx.modules.local.empty());
  }
  // A serial that could name another file is never requested.
  Download d;
  d.entry.set_text(idx::kSerial, 35, "0x../../../../etc/passwd");
  EXPECT_EQ(DownloadModule(d.t.ctx, d.net, d.entry), DownloadResult::Failed);
  EXPECT_TRUE(d.sockets.lookedUp.empty());
  EXPECT_EQ(d.state.last(), net::kCantDownload);
}

// A Local index that cannot be saved: nothing is filed, and the state line
// does not say the transfer completed.
TEST(DownloadModule, AnIndexThatCannotBeSavedFilesNothing) {
  Download d;
  d.t.dos.AddFault({"rename", "database.dbi", EIO});
  d.sockets.blocks = {Response(d.file)};
  EXPECT_EQ(DownloadModule(d.t.ctx, d.net, d.entry), DownloadResult::IndexNotSaved);
  EXPECT_EQ(d.state.last(), net::kCantCreate);
  EXPECT_NE(d.t.dos.LastErrorText().find("database.dbi"), std::string::npos) << d.t.dos.LastErrorText();
  EXPECT_TRUE(Names(d.t.home.path() + "/Database/Local").empty());
  EXPECT_TRUE(d.t.ctx.modules.local.empty());

  // An index that could not be read at start is not replaced: nothing fetched.
  Download u;
  u.t.ctx.modules.localError = "database.dbi: the index's count field is not a number of entries";
  u.sockets.blocks = {Response(u.file)};
  EXPECT_EQ(DownloadModule(u.t.ctx, u.net, u.entry), DownloadResult::IndexNotSaved);
  EXPECT_TRUE(Names(u.t.home.path() + "/Database/Local").empty());
}

}  // namespace
}  // namespace kr::test
