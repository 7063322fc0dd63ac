// Upload, intake and download against real servers on the loopback
// interface: an SMTP server (aiosmtpd) writing to a Maildir, and a static
// web server (Python's http.server) serving the intake's web directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <string>
#include <vector>

#include "intake/intake.h"
#include "loopback_server.h"
#include "modules/module_base.h"
#include "net/download.h"
#include "net/smtp.h"
#include "net_fixture.h"
#include "platform/linux/linux_socket.h"

extern char** environ;

namespace kr::test {
namespace {

using namespace net_files;

// A Python interpreter that has aiosmtpd (the system one when a private one
// does not), or empty.
std::string PythonWithAiosmtpd() {
  for (const char* py : {"/usr/bin/python3", "python3"}) {
    std::string cmd = std::string(py) + " -c 'import aiosmtpd.handlers' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == 0) return py;
  }
  return {};
}

// A loopback port nobody listens on right now.
uint16_t FreePort() {
  LoopbackServer probe([](int) {});
  return probe.port();
}

// A child process, ended (SIGTERM, then waited for) with its scope.
class Child {
 public:
  explicit Child(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) pid_ = -1;
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status;
      ::waitpid(pid_, &status, 0);
    }
  }
  bool ok() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// Waits (at most 10 s) until something accepts connections on the port.
bool Listening(uint16_t port) {
  for (int i = 0; i < 200; ++i) {
    LinuxSockets s(SocketOptions{200, 1000, 20, nullptr});
    std::vector<SocketAddress> a;
    if (s.Lookup("127.0.0.1", port, a)) {
      int fd = s.Open(a[0]);
      bool up = fd >= 0 && s.Connect(fd, a[0]);
      s.Close(fd);
      if (up) return true;
    }
    ::usleep(50000);
  }
  return false;
}

TEST(EndToEnd, UploadIntakeListAndDownload) {
  const std::string python = PythonWithAiosmtpd();
  if (python.empty()) GTEST_SKIP() << "needs python3 with aiosmtpd (Debian package python3-aiosmtpd)";
  TempDir collection;
  const std::string maildir = collection.path() + "/Maildir", webdir = collection.path() + "/web/modules";
  ::mkdir((collection.path() + "/web").c_str(), 0700);
  ::mkdir(webdir.c_str(), 0700);

  // Home A makes a module and uploads it.
  TestContext a;
  a.ctx.settings.set_text(cfg::kEmail, cfg::kEmailWidth, "ann@example.org");
  ModuleRecord module = MakeModule(a.ctx, "ann");
  const std::string serial(ModuleSerial(module));
  ASSERT_EQ(AddModuleToLocal(a.ctx, module), AddResult::Added);
  const std::string moduleFile = Read(a.home.path() + "/Database/Local/" + serial + ".dbe");
  ASSERT_EQ(moduleFile.size(), 9504u);

  const uint16_t smtpPort = FreePort();
  {
    Child smtp({python, "-m", "aiosmtpd", "-n", "-l", "127.0.0.1:" + std::to_string(smtpPort), "-c",
                "aiosmtpd.handlers.Mailbox", maildir});
    ASSERT_TRUE(smtp.ok());
    ASSERT_TRUE(Listening(smtpPort));
    LinuxSockets sockets(SocketOptions{10000, 30000, 20, nullptr});
    StateRecorder state;
    Network net{sockets, state};
    int s = NetConnect(net, "127.0.0.1", smtpPort);
    ASSERT_GE(s, 0) << state.last();
    ASSERT_TRUE(SendModuleMail(a.ctx, net, s, serial, true)) << state.last();
    sockets.Close(s);
    EXPECT_EQ(state.last(), "Transfer completed.");
  }

  // The collection files it.
  IntakeSummary summary;
  std::vector<std::string> log;
  ASSERT_TRUE(RunIntake(maildir, webdir, [&](const std::string& l) { log.push_back(l); }, summary));
  ASSERT_EQ(summary.accepted, 1) << (log.empty() ? "" : log[0]);
  EXPECT_EQ(Read(webdir + "/" + serial + ".dbe"), moduleFile);

  // Home B fetches the list and the module from a static web server.
  const uint16_t httpPort = FreePort();
  Child web({python, "-m", "http.server", std::to_string(httpPort), "--bind", "127.0.0.1", "--directory",
             collection.path() + "/web"});
  ASSERT_TRUE(web.ok());
  ASSERT_TRUE(Listening(httpPort));
  TestContext b;
  std::snprintf(b.ctx.run.serverHost, sizeof b.ctx.run.serverHost, "http://127.0.0.1:%u", unsigned(httpPort));
  std::snprintf(b.ctx.run.serverPath, sizeof b.ctx.run.serverPath, "modules");
  LinuxSockets sockets(SocketOptions{10000, 30000, 20, nullptr});
  StateRecorder state;
  Network net{sockets, state};
  ASSERT_TRUE(RetrieveServerList(b.ctx, net)) << state.last();
  ASSERT_EQ(b.ctx.modules.server.size(), 1u);
  EXPECT_EQ(b.ctx.modules.server[0].serial(), serial);
  ASSERT_EQ(DownloadModule(b.ctx, net, b.ctx.modules.server[0]), DownloadResult::Downloaded) << state.last();
  EXPECT_EQ(Read(b.home.path() + "/Database/Local/" + serial + ".dbe"), moduleFile);
  ASSERT_EQ(b.ctx.modules.local.size(), 1u);
  EXPECT_EQ(b.ctx.modules.local[0].serial(), serial);
}

}  // namespace
}  // namespace kr::test
