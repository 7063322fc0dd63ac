// The network exchange: what a transfer needs besides the context, and the
// texts of the "State:" line. Progress and errors of a transfer go to that
// line only (requesters are used for a module already present and the
// upload's questions).
#pragma once

#include <string>
#include <string_view>

#include "platform/socket.h"

namespace kr {

struct Context;

// The "State:" line of the Module Base window. The desktop program shows the
// text in the window; the terminal prints each text as it changes. Texts are
// Latin-1 with the toolkit's escape codes (ESC b bold, ESC n normal).
class StateLine {
 public:
  virtual ~StateLine() = default;
  virtual void ShowState(std::string_view text) = 0;
};

// One transfer's services: the sockets and the state line.
struct Network {
  Sockets& sockets;
  StateLine& state;
};

namespace net {
inline constexpr std::string_view kProgramName = "KelvaRANK VTS 2003";
inline constexpr std::string_view kProgramVersion = "1.001";
// The collection mailbox when server.txt names none (its third line).
inline constexpr std::string_view kDefaultMailbox = "modules@kelvarank.invalid";
// The display name of the mailbox in the mail's "To:" header and the second
// text of its "X-Mailer:" header.
inline constexpr std::string_view kMailboxName = "KelvaRANK Collection";
inline constexpr std::string_view kMailerText = "1.001 (Linux)";

inline constexpr std::string_view kLookup = "Lookup...";
inline constexpr std::string_view kCreatingSocket = "Creating socket...";
inline constexpr std::string_view kConnecting = "Connecting...";
inline constexpr std::string_view kReceivingModule = "Receiving module...";
inline constexpr std::string_view kReceivingData = "Receiving data...";
inline constexpr std::string_view kTransferCompleted = "Transfer completed.";
inline constexpr std::string_view kBuildingEmail = "Building email...";
inline constexpr std::string_view kSavingLog = "Saving log...";
inline constexpr std::string_view kSendingModule = "Sending module...";

inline constexpr std::string_view kNoStack = "\x1b" "bERROR:\x1bn No TCP/IP stack!";
inline constexpr std::string_view kCantSendRequest = "\x1b" "bERROR:\x1bn Can't send HTTP request!";
inline constexpr std::string_view kNotFound = "\x1b" "bERROR:\x1bn Server-database not found!";
inline constexpr std::string_view kCantCreate = "\x1b" "bERROR:\x1bn Can't create database!";
inline constexpr std::string_view kCantDownload = "\x1b" "bERROR:\x1bn Can't download module!";
// Texts of the checks this host adds.
inline constexpr std::string_view kBadAddress = "\x1b" "bERROR:\x1bn Bad server address!";
inline constexpr std::string_view kBadResponse = "\x1b" "bERROR:\x1bn Invalid server response!";
inline constexpr std::string_view kIncomplete = "\x1b" "bERROR:\x1bn Transfer incomplete!";
inline constexpr std::string_view kBadDatabase = "\x1b" "bERROR:\x1bn Invalid server-database!";
inline constexpr std::string_view kCantReadModule = "\x1b" "bERROR:\x1bn Can't read module!";
inline constexpr std::string_view kBadSender = "\x1b" "bERROR:\x1bn Invalid E-Mail address in the settings!";
inline constexpr std::string_view kBadMailbox = "\x1b" "bERROR:\x1bn Invalid collection mailbox!";
inline constexpr std::string_view kNoReply = "\x1b" "bERROR:\x1bn No reply from server!";
// The prefix of a server's reply shown when its code is not the expected one.
inline constexpr std::string_view kErrorPrefix = "\x1b" "bERROR:\x1bn";
// ShowNetError's prefix; the socket error text follows.
inline constexpr std::string_view kNetErrorPrefix = "\x1b" "bERROR\x1bn: ";
}  // namespace net

// The collection mailbox: the third line of server.txt up to its first blank
// or control byte when that is not empty, otherwise net::kDefaultMailbox.
std::string CollectionMailbox(const Context& ctx);

// Shows the prefix and the socket error text (at most 127 bytes in all).
void ShowNetError(Network& net);

// Lookup, socket and connect, with their state texts; tries every address
// the name has. A descriptor, or -1 after ShowNetError.
int NetConnect(Network& net, std::string_view host, uint16_t port);

}  // namespace kr
