// Module upload by mail: the message with the module file as a base64
// attachment, sent through the user's SMTP server as a conversation that
// waits for each reply.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/net.h"

namespace kr {

inline constexpr std::string_view kMailLogFile = "RAM:kr_maillog.txt";

// What the message is made of. Texts are used up to their first control
// byte, so no field can end a line of the conversation early.
struct MailPieces {
  std::string hostName;  // HELO
  std::string email;     // the user's address: MAIL FROM and From:
  std::string realName;  // From: display name
  std::string userName;  // subject
  std::string mailbox;   // the collection mailbox: RCPT TO and To:
  std::string fileName;  // serial + ".dbe"
  std::string base64;    // the module file, lines ended by CR LF
};

// The conversation's steps, each a text the program sends (the first, the
// server's greeting, sends nothing) and the reply codes it accepts.
struct SmtpStep {
  std::string text;
  int expect1, expect2;
};
// Greeting, HELO, MAIL FROM, RCPT TO, DATA, the message (header lines, the
// empty text part, the attachment, the closing boundary and "."), QUIT.
// Every line ends in CR LF.
std::vector<SmtpStep> ComposeModuleMail(const MailPieces& p);
// The text of all steps: what goes to the server, and to the log.
std::string ConversationText(const std::vector<SmtpStep>& steps);

// Composes the mail for the Local module `serial`, writes the log when
// `saveLog`, and holds the conversation on the connected socket `s`:
// waits for the greeting and each reply; stops with the server's reply on
// the state line when a code is not the one expected; announces success
// (requester and "Transfer completed.") only after the message was
// accepted; ends with QUIT. True when the module was accepted.
bool SendModuleMail(Context& ctx, Network& net, int s, std::string_view serial, bool saveLog);

// "Upload": a module already on the Server list gets the "Module is already
// at 'Server'" requester; otherwise connects to the SMTP server of the
// settings ("SMTP server:", "SMTP port:"), asks whether to save the log
// (a requester that cannot ask counts as "No") unless `saveLog` already
// holds the answer (the terminal's --save-log), sends the mail and closes.
enum class UploadResult { Uploaded, AlreadyOnServer, Failed };
UploadResult UploadModule(Context& ctx, Network& net, std::string_view serial,
                          std::optional<bool> saveLog = std::nullopt);

}  // namespace kr
