#include "net/smtp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loopback_server.h"
#include "modules/module_base.h"
#include "net/base64.h"
#include "platform/fake/fake_socket.h"
#include "platform/linux/linux_socket.h"
#include "records/settings_record.h"
#include "settings/settings_form.h"
#include "settings/settings_test_util.h"

namespace kr::test {
namespace {

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> b = ReadHostFile(path);
  return std::string(b.begin(), b.end());
}

const std::string kSerial = "0x0123456789ABCDEF0123456789ABCDEF";

struct Upload {
  TestContext t;
  FakeSockets sockets;
  StateRecorder state;
  Network net{sockets, state};
  std::string module;

  Upload() {
    module.resize(9504);
    for (size_t i = 0; i < module.size(); ++i) module[i] = char(i * 31 + 5);
    WriteHostFile(t.home.path() + "/Database/Local/" + kSerial + ".dbe", module);
    SettingsRecord& s = t.ctx.settings;
    s.set_text(cfg::kEmail, cfg::kEmailWidth, "me@example.org");
    s.set_text(cfg::kRealName, cfg::kNameWidth, "Ann Example");
    s.set_text(cfg::kUserName, cfg::kNameWidth, "ann the user");
  }
  std::string LogPath() const { return t.ram.path() + "/kr_maillog.txt"; }
  bool Send(bool saveLog) { return SendModuleMail(t.ctx, net, 3, kSerial, saveLog); }
};

// The conversation as it must go over the wire, written out in full.
std::string ExpectedConversation(const std::string& module) {
  std::string b64;
  EncodeBase64(reinterpret_cast<const uint8_t*>(module.data()), module.size(), b64, "\r\n");
  return "HELO testhost\r\n"
         "MAIL FROM:<me@example.org>\r\n"
         "RCPT TO:<modules@kelvarank.invalid>\r\n"
         "DATA\r\n"
         "From: \"Ann Example\" <me@example.org>\r\n"
         "To: \"KelvaRANK Collection\" <modules@kelvarank.invalid>\r\n"
         "Subject: /*** kelvarank module - ann the user ***/\r\n"
         "X-Mailer: KelvaRANK VTS 2003 1.001 (Linux)\r\n"
         "Mime-Version: 1.0\r\n"
         "Content-type: multipart/mixed; boundary=\"bondage\"\r\n"
         "\r\n"
         "--bondage\r\n"
         "Content-Type: text/plain\r\n"
         "\r\n"
         "--bondage\r\n"
         "Content-Type: application/octet-stream; name=\"" + kSerial + ".dbe\"\r\n"
         "Content-Disposition: attachment; filename=\"" + kSerial + ".dbe\"\r\n"
         "Content-Transfer-Encoding: base64\r\n"
         "\r\n" + b64 + "\r\n"
         "\r\n"
         "--bondage--\r\n"
         ".\r\n"
         "QUIT\r\n";
}

const std::deque<std::string> kGoodReplies = {"220 mail.example ESMTP\r\n", "250 mail.example\r\n", "250 2.1.0 Ok\r\n",
                                              "250 2.1.5 Ok\r\n", "354 End data with <CR><LF>.<CR><LF>\r\n",
                                              "250 2.0.0 Ok: queued\r\n", "221 2.0.0 Bye\r\n"};

TEST(SmtpUpload, ConversationWaitsForEachReplyAndLogsWhatWasSent) {
  Upload u;
  u.sockets.blocks = kGoodReplies;
  u.sockets.blocks[1] = "250-mail.example\r\n250-PIPELINING\r\n250 8BITMIME\r\n";  // a reply of three lines
  ASSERT_TRUE(u.Send(true)) << u.state.last();
  const std::string expected = ExpectedConversation(u.module);
  EXPECT_EQ(u.sockets.sent, expected);
  EXPECT_EQ(ReadText(u.LogPath()), expected);
  // No bare line feed anywhere on the wire.
  for (size_t i = 0; i < expected.size(); ++i)
    if (expected[i] == '\n') {
      ASSERT_EQ(expected[i - 1], '\r') << i;
    }
  EXPECT_EQ(u.state.texts, (std::vector<std::string>{"Building email...", "Saving log...", "Sending module...",
                                                     "Transfer completed."}));
  ASSERT_EQ(u.t.requester.asked.size(), 1u);
  EXPECT_EQ(u.t.requester.asked[0].title, "\x1b" "bINFORMATION\x1bn");
  EXPECT_EQ(u.t.requester.asked[0].text,
            "Your module was sended successfuly!\n\nAfter checking all is valid it will be added to the server.\n"
            "This could take some time, so be patient...");

  // "No": no log file; fields with line breaks cannot end a line early; the
  // mailbox of the server description is used.
  Upload v;
  v.sockets.blocks = kGoodReplies;
  v.t.ctx.settings.set_text(cfg::kUserName, cfg::kNameWidth, "ann\r\nRCPT TO:<x@y>");
  std::strcpy(v.t.ctx.run.serverMailbox, "collect@example.net");
  ASSERT_TRUE(v.Send(false));
  EXPECT_FALSE(HostFileExists(v.LogPath()));
  EXPECT_NE(v.sockets.sent.find("Subject: /*** kelvarank module - ann ***/\r\n"), std::string::npos);
  EXPECT_EQ(v.sockets.sent.find("x@y"), std::string::npos);
  EXPECT_NE(v.sockets.sent.find("RCPT TO:<collect@example.net>\r\n"), std::string::npos);
}

TEST(SmtpUpload, RefusalAtAnyStepStopsWithTheServersText) {
  // Commands sent before step k is refused: greeting, HELO, MAIL, RCPT, DATA, message.
  const std::string all = ExpectedConversation(Upload().module);
  const std::vector<std::string> marks = {"HELO", "MAIL FROM", "RCPT TO", "DATA\r\n", "From: ", "QUIT"};
  for (const char* refusal : {"421 4.3.2 Service not available", "550 5.1.1 Mailbox unavailable"}) {
    for (size_t k = 0; k < 6; ++k) {
      SCOPED_TRACE(std::string(refusal) + " at step " + std::to_string(k));
      Upload u;
      u.sockets.blocks.assign(kGoodReplies.begin(), kGoodReplies.begin() + long(k));
      u.sockets.blocks.push_back(std::string(refusal) + "\r\n");
      EXPECT_FALSE(u.Send(false));
      EXPECT_EQ(u.state.last(), "\x1b" "bERROR:\x1bn " + std::string(refusal));
      EXPECT_TRUE(u.t.requester.asked.empty());
      // Everything up to the refused step, then QUIT.
      EXPECT_EQ(u.sockets.sent, all.substr(0, all.find(marks[k])) + "QUIT\r\n");
    }
  }
}

TEST(SmtpUpload, BrokenConversationsAndMissingPieces) {
  {
    Upload u;  // the server hangs up after the greeting
    u.sockets.blocks = {kGoodReplies[0]};
    EXPECT_FALSE(u.Send(false));
    EXPECT_EQ(u.state.last(), net::kNoReply);
  }
  {
    Upload u;  // a receive fails
    u.sockets.blocks = {kGoodReplies[0], kGoodReplies[1]};
    u.sockets.failAfterBlocks = true;
    u.sockets.errorText = "Connection timed out";
    EXPECT_FALSE(u.Send(false));
    EXPECT_EQ(u.state.last(), std::string(net::kNetErrorPrefix) + "Connection timed out");
  }
  {
    Upload u;  // a reply whose code is not a number, with escape bytes
    u.sockets.blocks = {"2x0 \x1b" "bhello\r\n"};
    EXPECT_FALSE(u.Send(false));
    EXPECT_EQ(u.state.last(), "\x1b" "bERROR:\x1bn 2x0 ?bhello");
  }
  {
    Upload u;  // the module file is gone: nothing is sent
    std::remove((u.t.home.path() + "/Database/Local/" + kSerial + ".dbe").c_str());
    u.sockets.blocks = kGoodReplies;
    EXPECT_FALSE(u.Send(true));
    EXPECT_EQ(u.state.last(), net::kCantReadModule);
    EXPECT_TRUE(u.sockets.sent.empty());
    EXPECT_FALSE(HostFileExists(u.LogPath()));
  }
  {
    Upload u;  // no host name: the manual-submission hint, nothing sent
    u.sockets.hostName = "";
    u.sockets.blocks = kGoodReplies;
    EXPECT_FALSE(u.Send(false));
    EXPECT_TRUE(u.sockets.sent.empty());
    ASSERT_EQ(u.t.requester.asked.size(), 1u);
    EXPECT_EQ(u.t.requester.asked[0].text,
              "Could not gethostname()\n\nPlease 'Export' your new module and send it...\n\nTo: "
              "modules@kelvarank.invalid\nSubject: /*** kelvarank module ***/");
  }
}

TEST(SmtpUploadLoopback, RealConversationAndASilentServer) {
  // A scripted server on real sockets: replies line by line as it reads.
  std::string heard;
  LoopbackServer server([&](int fd) {
    SendText(fd, "220 hi\r\n");
    for (const char* end : {"\r\n", "\r\n", "\r\n", "\r\n"}) {
      heard += ReadUntil(fd, end);
      SendText(fd, heard.find("DATA") != std::string::npos ? "354 go\r\n" : "250 ok\r\n");
    }
    heard += ReadUntil(fd, "\r\n.\r\n");
    SendText(fd, "250 queued\r\n");
    heard += ReadUntil(fd, "QUIT\r\n");
    SendText(fd, "221 bye\r\n");
  });
  ASSERT_TRUE(server.ok());
  Upload u;
  std::atomic<bool> cancel{false};
  LinuxSockets sockets(SocketOptions{2000, 10000, 20, &cancel});
  Network net{sockets, u.state};
  int s = NetConnect(net, "127.0.0.1", server.port());
  ASSERT_GE(s, 0);
  ASSERT_TRUE(SendModuleMail(u.t.ctx, net, s, kSerial, false)) << u.state.last();
  sockets.Close(s);
  std::string expected = ExpectedConversation(u.module);
  expected.replace(expected.find("testhost"), 8, sockets.HostName());
  EXPECT_EQ(heard, expected);

  // Accepts and never greets: the wait ends after the timeout.
  LoopbackServer silent([](int fd) { ReadUntil(fd, "never"); });
  sockets.options().timeoutMs = 300;
  s = NetConnect(net, "127.0.0.1", silent.port());
  ASSERT_GE(s, 0);
  EXPECT_FALSE(SendModuleMail(u.t.ctx, net, s, kSerial, false));
  EXPECT_EQ(u.state.last(), std::string(net::kNetErrorPrefix) + "Connection timed out");
  sockets.Close(s);
}

TEST(SmtpUploadLoopback, UploadButtonUsesTheSettingsServerAndAsksForTheLog) {
  // A server that agrees to everything.
  LoopbackServer server([](int fd) {
    SendText(fd, "220 hi\r\n");
    for (int i = 0; i < 4; ++i) SendText(fd, ReadUntil(fd, "\r\n").rfind("DATA", 0) == 0 ? "354 go\r\n" : "250 ok\r\n");
    ReadUntil(fd, "\r\n.\r\n");
    SendText(fd, "250 queued\r\n");
    ReadUntil(fd, "QUIT\r\n");
    SendText(fd, "221 bye\r\n");
  });
  ASSERT_TRUE(server.ok());
  Upload u;
  LinuxSockets sockets(SocketOptions{2000, 10000, 20, nullptr});
  Network net{sockets, u.state};
  u.t.ctx.settings.set_text(cfg::kSmtpServer, cfg::kSmtpWidth, "127.0.0.1");
  u.t.ctx.settings.set_s32(cfg::kSmtpPort, server.port());
  u.t.requester.answers = {0, 0};  // "Save", then "Ok"
  ASSERT_EQ(UploadModule(u.t.ctx, net, kSerial), UploadResult::Uploaded) << u.state.last();
  ASSERT_GE(u.t.requester.asked.size(), 1u);
  EXPECT_EQ(u.t.requester.asked[0].title, "\x1b" "bREQUEST\x1bn");
  EXPECT_EQ(u.t.requester.asked[0].text, "Should log saved to 'RAM:kr_maillog.txt'?");
  EXPECT_EQ(u.t.requester.asked[0].buttons, "Save|No");
  EXPECT_TRUE(HostFileExists(u.LogPath()));

  // Already on the server: the requester, no connection. A bad port: no connection either.
  Upload v;
  IndexEntry e;
  e.set_text(idx::kSerial, 35, kSerial);
  v.t.ctx.modules.server.push_back(e);
  Network vnet{sockets, v.state};
  EXPECT_EQ(UploadModule(v.t.ctx, vnet, kSerial), UploadResult::AlreadyOnServer);
  EXPECT_EQ(v.t.requester.asked.at(0).text, "Module is already at 'Server'");
  v.t.ctx.modules.server.clear();
  v.t.ctx.settings.set_text(cfg::kSmtpServer, cfg::kSmtpWidth, "127.0.0.1");
  v.t.ctx.settings.set_s32(cfg::kSmtpPort, 0);
  EXPECT_EQ(UploadModule(v.t.ctx, vnet, kSerial), UploadResult::Failed);
  EXPECT_EQ(v.state.last(), net::kBadAddress);
}

// The addresses go into "<...>" as they stand: only name@domain passes.
TEST(SmtpAddresses, OnlyThePlainFormIsAMailAddress) {
  struct Case {
    const char* address;
    bool ok;
  } cases[] = {
      {"me@example.org", true},
      {"first.last+tag@mail.example.org", true},
      {"o'hara!x#y@example.org", true},
      {"me@[192.0.2.1]", true},
      {"a@b.org> SIZE=1", false},  // would add a MAIL FROM parameter
      {"a@b.org>\r\nRCPT TO:<x@y>", false},
      {"<a@b.org>", false},
      {"\"quoted name\"@example.org", false},
      {"Ann <a@b.org>", false},
      {"no-at-sign", false},
      {"@example.org", false},
      {"me@", false},
      {".me@example.org", false},
      {"me..too@example.org", false},
      {"me@example.org.", false},
      {"me@exa mple.org", false},
      {"me@[1.2.3.4] ", false},
      {"m\xE9@example.org", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsMailAddress(c.address), c.ok) << c.address;

  // Refused by the settings check, and never sent: no connection is made.
  SettingsForm f = ValidForm();
  f.email = "a@b.org> SIZE=1";
  SettingsError err;
  EXPECT_FALSE(ValidateSettingsForm(f, err));
  EXPECT_NE(err.text.find("name@domain"), std::string::npos) << err.text;
  Upload u;
  u.t.ctx.settings.set_text(cfg::kEmail, cfg::kEmailWidth, "a@b.org> SIZE=1");
  u.t.ctx.settings.set_text(cfg::kSmtpServer, cfg::kSmtpWidth, "127.0.0.1");
  u.t.ctx.settings.set_s32(cfg::kSmtpPort, 25);
  EXPECT_EQ(UploadModule(u.t.ctx, u.net, kSerial), UploadResult::Failed);
  EXPECT_EQ(u.state.last(), net::kBadSender);
  EXPECT_TRUE(u.sockets.sent.empty());
}

// The Realname is a quoted string whatever it holds; an ordinary one goes out
// as before.
TEST(SmtpAddresses, DisplayNamesAreQuotedStrings) {
  struct Case {
    const char* realName;
    const char* from;
  } cases[] = {
      {"Ann Example", "From: \"Ann Example\" <me@example.org>\r\n"},
      {"J\xF6rg M\xFCller", "From: \"J\xF6rg M\xFCller\" <me@example.org>\r\n"},
      {"Ann \"The Boss\" Example", "From: \"Ann \\\"The Boss\\\" Example\" <me@example.org>\r\n"},
      {"x\" <evil@example.org>, \"y", "From: \"x\\\" <evil@example.org>, \\\"y\" <me@example.org>\r\n"},
      {"back\\slash", "From: \"back\\\\slash\" <me@example.org>\r\n"},
  };
  for (const Case& c : cases) {
    MailPieces p;
    p.hostName = "h";
    p.email = "me@example.org";
    p.realName = c.realName;
    p.mailbox = "modules@kelvarank.invalid";
    std::string message = ComposeModuleMail(p).at(5).text;
    EXPECT_EQ(message.substr(0, message.find('\n') + 1), c.from) << c.realName;
  }
}

}  // namespace
}  // namespace kr::test
