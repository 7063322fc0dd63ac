#include "net/smtp.h"

#include "engine/context.h"
#include "modules/module_base.h"
#include "modules/transfer_rules.h"
#include "net/base64.h"
#include "settings/settings_form.h"

namespace kr {

namespace {

constexpr size_t kReplyBlock = 1000;
constexpr size_t kReplyLineKept = 200;   // characters kept of a reply line
constexpr size_t kMaxReplyBytes = 64 * 1024;

const std::string kNoHostText =
    "Could not gethostname()\n\nPlease 'Export' your new module and send it...\n\nTo: ";

std::string Field(std::string_view s) {
  size_t n = 0;
  while (n < s.size() && static_cast<unsigned char>(s[n]) >= 32) ++n;
  return std::string(s.substr(0, n));
}

// Reads one reply (all its lines, "ddd-" continuing, "ddd " or "ddd" ending
// it) from the connection, keeping what follows in `pending`. Returns its
// code (0 when the last line does not start with three digits) and its last
// line in `text`; -1 when the connection failed (the socket error tells
// why), -2 when it ended first or the reply never ended.
int ReadReply(Network& net, int s, std::string& pending, std::string& text) {
  size_t total = 0;
  std::string line;
  for (;;) {
    size_t lf = pending.find('\n');
    if (lf == std::string::npos) {
      if (total > kMaxReplyBytes) return -2;
      char block[kReplyBlock];
      int64_t got = net.sockets.Receive(s, block, sizeof block);
      if (got <= 0) return got < 0 ? -1 : -2;
      total += size_t(got);
      pending.append(block, size_t(got));
      continue;
    }
    line = pending.substr(0, lf);
    pending.erase(0, lf + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 4 && line[3] == '-') continue;
    break;
  }
  if (line.size() > kReplyLineKept) line.resize(kReplyLineKept);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 32) c = '?';  // no escape codes from the server
  text = line;
  if (line.size() < 3) return 0;
  int code = 0;
  for (int i = 0; i < 3; ++i) {
    if (line[size_t(i)] < '0' || line[size_t(i)] > '9') return 0;
    code = code * 10 + (line[size_t(i)] - '0');
  }
  return code;
}

// A display name as a quoted string: a quote or a backslash in it is
// escaped with a backslash, so the name cannot end the string early.
std::string Quoted(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::vector<SmtpStep> ComposeModuleMail(const MailPieces& p) {
  const std::string host = Field(p.hostName), email = Field(p.email), real = Field(p.realName),
                    user = Field(p.userName), box = Field(p.mailbox), file = Field(p.fileName);
  std::string m;
  m += "From: " + Quoted(real) + " <" + email + ">\r\n";
  m += "To: " + Quoted(net::kMailboxName) + " <" + box + ">\r\n";
  m += "Subject: /*** kelvarank module - " + user + " ***/\r\n";
  m += "X-Mailer: " + std::string(net::kProgramName) + " " + std::string(net::kMailerText) + "\r\n";
  m += "Mime-Version: 1.0\r\n";
  m += "Content-type: multipart/mixed; boundary=\"bondage\"\r\n";
  m += "\r\n";
  m += "--bondage\r\n";
  m += "Content-Type: text/plain\r\n";
  m += "\r\n";
  m += "--bondage\r\n";
  m += "Content-Type: application/octet-stream; name=\"" + file + "\"\r\n";
  m += "Content-Disposition: attachment; filename=\"" + file + "\"\r\n";
  m += "Content-Transfer-Encoding: base64\r\n";
  m += "\r\n";
  m += p.base64 + "\r\n";
  m += "\r\n";
  m += "--bondage--\r\n";
  m += ".\r\n";
  return {
      {"", 220, 220},
      {"HELO " + host + "\r\n", 250, 250},
      {"MAIL FROM:<" + email + ">\r\n", 250, 250},
      {"RCPT TO:<" + box + ">\r\n", 250, 251},
      {"DATA\r\n", 354, 354},
      {m, 250, 250},
      {"QUIT\r\n", 221, 221},
  };
}

std::string ConversationText(const std::vector<SmtpStep>& steps) {
  std::string all;
  for (const SmtpStep& st : steps) all += st.text;
  return all;
}

bool SendModuleMail(Context& ctx, Network& net, int s, std::string_view serial, bool saveLog) {
  net.state.ShowState(net::kBuildingEmail);
  MailPieces p;
  p.fileName = std::string(serial) + ".dbe";
  std::vector<uint8_t> module;
  // A module file that cannot be read is not sent: an empty attachment would
  // be reported as a successful upload.
  if (!ctx.dos.ReadWholeFile("PROGDIR:Database/Local/" + p.fileName, module) || module.empty()) {
    net.state.ShowState(net::kCantReadModule);
    return false;
  }
  EncodeBase64(module.data(), module.size(), p.base64, "\r\n");
  p.hostName = net.sockets.HostName();
  p.mailbox = CollectionMailbox(ctx);
  if (Field(p.hostName).empty()) {
    ctx.requester.Request(kErrorTitle,
                          kNoHostText + p.mailbox + "\nSubject: /*** kelvarank module ***/", "Ok");
    return false;
  }
  const SettingsRecord& st = ctx.settings;
  p.email = st.text(cfg::kEmail, cfg::kEmailWidth);
  p.realName = st.text(cfg::kRealName, cfg::kNameWidth);
  p.userName = st.text(cfg::kUserName, cfg::kNameWidth);
  std::vector<SmtpStep> steps = ComposeModuleMail(p);

  net.state.ShowState(net::kSavingLog);
  if (saveLog) {
    std::string all = ConversationText(steps);
    ctx.dos.WriteFileAtomic(kMailLogFile, all.data(), all.size());
  }

  net.state.ShowState(net::kSendingModule);
  std::string pending, reply;
  for (size_t i = 0; i + 1 < steps.size(); ++i) {
    const SmtpStep& step = steps[i];
    if (!step.text.empty() && !net.sockets.Send(s, step.text.data(), step.text.size())) {
      ShowNetError(net);
      return false;
    }
    int code = ReadReply(net, s, pending, reply);
    if (code == -1) {
      ShowNetError(net);
      return false;
    }
    if (code == -2) {
      net.state.ShowState(net::kNoReply);
      return false;
    }
    if (code != step.expect1 && code != step.expect2) {
      std::string text = std::string(net::kErrorPrefix) + " " + reply;
      if (text.size() > 127) text.resize(127);
      net.state.ShowState(text);
      const std::string& quit = steps.back().text;
      net.sockets.Send(s, quit.data(), quit.size());  // the server may have gone; nothing to wait for
      return false;
    }
  }
  ctx.requester.Request("\x1b" "bINFORMATION\x1bn",
                        "Your module was sended successfuly!\n\nAfter checking all is valid it will be added to "
                        "the server.\nThis could take some time, so be patient...",
                        "Ok");
  net.state.ShowState(net::kTransferCompleted);
  // QUIT; its reply is read but changes nothing now.
  const std::string& quit = steps.back().text;
  if (net.sockets.Send(s, quit.data(), quit.size())) ReadReply(net, s, pending, reply);
  return true;
}

UploadResult UploadModule(Context& ctx, Network& net, std::string_view serial, std::optional<bool> saveLog) {
  if (const RuleOutcome may = MayUpload(ctx, serial); !may) {
    ctx.requester.Request(kErrorTitle, may.reason, "Ok");
    return UploadResult::AlreadyOnServer;
  }
  std::string host(ctx.settings.text(cfg::kSmtpServer, cfg::kSmtpWidth));
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  int32_t port = ctx.settings.s32(cfg::kSmtpPort);
  bool plain = !host.empty();
  for (unsigned char c : host) plain = plain && c > 32 && c < 127;
  if (!plain || port < 1 || port > 65535) {
    net.state.ShowState(net::kBadAddress);
    return UploadResult::Failed;
  }
  // The addresses go inside "<...>" of the conversation: only the plain
  // name@domain form, or the server would read the rest as parameters.
  if (!IsMailAddress(Field(ctx.settings.text(cfg::kEmail, cfg::kEmailWidth)))) {
    net.state.ShowState(net::kBadSender);
    return UploadResult::Failed;
  }
  if (!IsMailAddress(Field(CollectionMailbox(ctx)))) {
    net.state.ShowState(net::kBadMailbox);
    return UploadResult::Failed;
  }
  int s = NetConnect(net, host, uint16_t(port));
  if (s < 0) return UploadResult::Failed;
  if (!saveLog)
    saveLog = ctx.requester.Request("\x1b" "bREQUEST\x1bn", "Should log saved to 'RAM:kr_maillog.txt'?", "Save|No") == 0;
  bool sent = SendModuleMail(ctx, net, s, serial, *saveLog);
  net.sockets.Close(s);
  return sent ? UploadResult::Uploaded : UploadResult::Failed;
}

}  // namespace kr
