// The terminal's network commands against small scripted servers on the
// loopback interface: a good collection server, hostile ones, an SMTP server,
// and Ctrl-C during a transfer.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "cli/run_cli.h"
#include "modules/module_index.h"
#include "net/loopback_server.h"
#include "net/net_fixture.h"

namespace kr::cli {
namespace {

namespace nf = test::net_files;
using test::LoopbackServer;
using test::Ok;
using test::Serve;
using test::SmtpServer;


// A started home with a profile, the collection server at 127.0.0.1:port,
// directory "kr", and the SMTP server at 127.0.0.1:smtpPort.
std::string NetHome(const test::TempDir& home, uint16_t port, uint16_t smtpPort = 25) {
  const std::string h = "--home " + home.path() + " --yes ";
  Result set = RunCli(h + "settings set general.username=tester general.realname=Tester general.location=Here "
                          "general.email=t@example.org general.smtpserver=127.0.0.1 general.smtpport=" +
                      std::to_string(smtpPort) +
                      " general.homepage=http://example.org general.comment=hello "
                      "drive.partition=/tmp general.reportfile=PROGDIR:Reports/x.txt");
  EXPECT_EQ(set.code, 0) << set.err;
  nf::Write(home.path() + "/Data/server.txt", "http://127.0.0.1:" + std::to_string(port) + "\nkr\n");
  return h;
}

struct Served {
  std::string serial, module, index;
};
// A module and an index holding it and an entry whose serial would leave
// the folder.
Served MakeServed() {
  test::TestContext t;
  ModuleRecord m = nf::MakeModule(t.ctx, "alice");
  IndexEntry good = MakeIndexEntry(m), bad = good;
  bad.set_text(idx::kSerial, 35, "0x/../../../../etc/passwd");
  std::vector<uint8_t> index = IndexBytes({good, bad});
  return {std::string(ModuleSerial(m)), nf::FileBytes(m), std::string(index.begin(), index.end())};
}

TEST(CliNetwork, FetchListAndDownloadFromAGoodServer) {
  Served s = MakeServed();
  LoopbackServer server(Serve({{"/kr/database.dbi", Ok(s.index)}, {"/kr/" + s.serial + ".dbe", Ok(s.module)}}),
                        false, 4);
  ASSERT_TRUE(server.ok());
  test::TempDir home;
  const std::string h = NetHome(home, server.port());

  Result list = RunCli(h + "modules fetch-list --timeout 5");
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_EQ(list.out, "1 module in the Server database\n");
  for (const char* state : {"State: Lookup...\n", "State: Connecting...\n", "State: Receiving data...\n",
                            "State: Transfer completed.\n"})
    EXPECT_TRUE(Has(list.err, state)) << state << list.err;
  EXPECT_EQ(nf::Read(home.path() + "/Database/Server/database.dbi"), s.index);
  EXPECT_TRUE(Has(RunCli(h + "modules list --server").out, s.serial));

  Result down = RunCli(h + "modules download " + s.serial + " --timeout=5");
  ASSERT_EQ(down.code, 0) << down.err;
  EXPECT_EQ(down.out, "Downloaded " + s.serial + " into the Local database\n");
  EXPECT_EQ(nf::Read(home.path() + "/Database/Local/" + s.serial + ".dbe"), s.module);
  EXPECT_TRUE(Has(RunCli(h + "modules list").out, s.serial + "  "));

  Result again = RunCli(h + "modules download " + s.serial);
  EXPECT_EQ(again.code, 10);
  EXPECT_TRUE(Has(again.err, "Module is already 'Local'")) << again.err;
  // The bad entry was never offered, and no serial outside the list is.
  Result unknown = RunCli(h + "modules download 0x00000000000000000000000000000000");
  EXPECT_EQ(unknown.code, 10);
  EXPECT_TRUE(Has(unknown.err, "no module 0x00000000000000000000000000000000 in the Server database")) << unknown.err;
  EXPECT_EQ(RunCli(h + "modules download ../etc").code, 10);
  EXPECT_EQ(nf::Names(home.path() + "/Database/Local"), (std::vector<std::string>{s.serial + ".dbe", "database.dbi"}));

  for (const char* bad : {"modules fetch-list --timeout 0", "modules fetch-list --timeout x", "modules download",
                          "modules upload", "modules upload X --bogus", "modules fetch-list extra"})
    EXPECT_EQ(RunCli(h + bad).code, 2) << bad;
}

TEST(CliNetwork, HostileServersLeaveTheDatabasesAsTheyWere) {
  Served s = MakeServed();
  // A first, good list.
  test::TempDir home;
  std::string h;
  {
    LoopbackServer good(Serve({{"/kr/database.dbi", Ok(s.index)}}));
    h = NetHome(home, good.port());
    ASSERT_EQ(RunCli(h + "modules fetch-list").code, 0);
  }
  const std::string serverIndex = home.path() + "/Database/Server/database.dbi";
  const std::string shortModule = "HTTP/1.0 200 OK\r\n\r\n" + s.module.substr(0, 9000);
  std::string damaged = s.module;
  damaged[5000] ^= 0x10;  // the bytes no longer hash to the serial they carry
  struct Case {
    const char* name;
    std::string response;  // empty: accept and say nothing
    const char* command;
    const char* state;
  } cases[] = {
      {"404", "HTTP/1.0 404 Not Found\r\n\r\n", "fetch-list", "Server-database not found!"},
      {"body shorter than Content-Length",
       "HTTP/1.0 200 OK\r\nContent-Length: 2016\r\n\r\n" + s.index.substr(0, 1013), "fetch-list",
       "Transfer incomplete!"},
      {"index of the wrong size", Ok(s.index + "x"), "fetch-list", "Invalid server-database!"},
      {"oversized header", "HTTP/1.0 200 OK\r\nX-Junk: " + std::string(70000, 'a') + "\r\n\r\n", "fetch-list",
       "Invalid server response!"},
      {"garbage status", "SSH-2.0-OpenSSH\r\n\r\n", "fetch-list", "Server-database not found!"},
      {"silent", "", "fetch-list", "Connection timed out"},
      {"short module", shortModule, "download", "Can't download module!"},
      {"module changed on the way", Ok(damaged), "download", "Can't download module!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string response = c.response;
    LoopbackServer server([&](int fd) {
      test::ReadUntil(fd, "\r\n\r\n");
      if (response.empty()) {
        while (!server.stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return;
      }
      test::SendText(fd, response);
    });
    nf::Write(home.path() + "/Data/server.txt", "127.0.0.1:" + std::to_string(server.port()) + "\nkr\n");
    std::string command = std::string(c.command) == "download" ? "download " + s.serial : c.command;
    Result r = RunCli(h + "modules " + command + " --timeout 1");
    EXPECT_EQ(r.code, 10) << r.err;
    EXPECT_TRUE(Has(r.err, c.state)) << r.err;
    EXPECT_EQ(nf::Read(serverIndex), s.index);
    EXPECT_EQ(nf::Names(home.path() + "/Database/Server"), std::vector<std::string>{"database.dbi"});
    EXPECT_EQ(nf::Names(home.path() + "/Database/Local"), std::vector<std::string>{});
  }
}

TEST(CliNetwork, UploadHoldsTheConversationAndKeepsTheLogWhenAsked) {
  Served s = MakeServed();
  test::TempDir home, runtime, files;
  SmtpServer smtp;
  ASSERT_TRUE(smtp.server.ok());
  const std::string h = NetHome(home, 9, smtp.server.port());
  nf::Write(files.path() + "/m.dbe", s.module);
  ASSERT_EQ(RunCli(h + "modules import " + files.path() + "/m.dbe").code, 0);

  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  Result up = RunCli(h + "modules upload " + s.serial + " --save-log --timeout 5");
  unsetenv("XDG_RUNTIME_DIR");
  ASSERT_EQ(up.code, 0) << up.err;
  EXPECT_EQ(up.out, "Uploaded " + s.serial + "\n");
  EXPECT_TRUE(Has(up.err, "State: Sending module...\n")) << up.err;
  EXPECT_TRUE(Has(up.err, "State: Transfer completed.\n")) << up.err;
  EXPECT_TRUE(Has(smtp.received, "MAIL FROM:<t@example.org>\r\nRCPT TO:<")) << smtp.received;
  EXPECT_TRUE(Has(smtp.received, "filename=\"" + s.serial + ".dbe\"")) << smtp.received;
  // The log is what was sent, QUIT included.
  std::string log = nf::Read(runtime.path() + "/kelvarank/kr_maillog.txt");
  EXPECT_TRUE(log == smtp.received && log.ends_with(".\r\nQUIT\r\n")) << log.size() << " " << smtp.received.size();

  Result missing = RunCli(h + "modules upload 0x00000000000000000000000000000000");
  EXPECT_EQ(missing.code, 10);
  EXPECT_TRUE(Has(missing.err, "no module 0x00000000000000000000000000000000 in the Local database")) << missing.err;
}

TEST(CliNetwork, CtrlCCancelsATransfer) {
  LoopbackServer silent([&](int fd) {
    (void)fd;
    for (int i = 0; i < 1500 && !silent.stopping(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  });
  test::TempDir home, tmp;
  NetHome(home, silent.port());
  const std::string err = tmp.path() + "/err";
  pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen("/dev/null", "r", stdin) || !std::freopen("/dev/null", "w", stdout) ||
        !std::freopen(err.c_str(), "w", stderr))
      _exit(127);
    execl(KR_CLI_PATH, KR_CLI_PATH, "--home", home.path().c_str(), "modules", "fetch-list", nullptr);
    _exit(127);
  }
  bool receiving = false;
  for (int i = 0; i < 3000 && !receiving; ++i) {
    receiving = Has(nf::Read(err), "State: Receiving module...");
    if (!receiving) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(receiving) << nf::Read(err);
  kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130) << nf::Read(err);
  EXPECT_TRUE(Has(nf::Read(err), "Operation canceled")) << nf::Read(err);
  EXPECT_FALSE(nf::Exists(home.path() + "/Database/Server/database.dbi"));
}

}  // namespace
}  // namespace kr::cli
