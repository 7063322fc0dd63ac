#include "cli/net_commands.h"

#include <charconv>
#include <iostream>

#include "cli/program.h"
#include "cli/text.h"
#include "engine/context.h"
#include "modules/module_base.h"
#include "net/download.h"
#include "net/smtp.h"
#include "platform/linux/linux_socket.h"

namespace kr::cli {

namespace {

// Each new text of the state line as a line on standard error.
class TerminalStateLine : public StateLine {
 public:
  void ShowState(std::string_view text) override {
    if (text == last_) return;
    last_ = std::string(text);
    std::cerr << "State: " << PlainText(text, false) << "\n";
  }
  const std::string& last() const { return last_; }

 private:
  std::string last_;
};

constexpr int kMaxTimeout = 600;

}  // namespace

bool IsNetworkCommand(const std::vector<std::string>& w) {
  return w.size() >= 2 && w[0] == "modules" && (w[1] == "fetch-list" || w[1] == "download" || w[1] == "upload");
}

std::string ParseNetworkCommand(const std::vector<std::string>& w, NetArgs& out) {
  const char* usage = "modules takes fetch-list [--timeout S], download SERIAL [--timeout S] or upload SERIAL "
                      "[--save-log] [--timeout S]";
  out.sub = w[1];
  size_t i = 2;
  if (out.sub != "fetch-list") {
    if (w.size() < 3 || w[2].rfind("--", 0) == 0) return usage;
    out.serial = w[2];
    i = 3;
  }
  for (; i < w.size(); ++i) {
    std::string v;
    if (w[i] == "--save-log" && out.sub == "upload") {
      out.saveLog = true;
    } else if (w[i].rfind("--timeout", 0) == 0) {
      if (!OptionValue(w, i, "--timeout", v)) return "--timeout needs a number of seconds";
      int n = 0;
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
      if (v.empty() || ec != std::errc() || end != v.data() + v.size() || n < 1 || n > kMaxTimeout)
        return "--timeout takes seconds from 1 to " + std::to_string(kMaxTimeout);
      out.timeoutSeconds = n;
    } else {
      return usage;
    }
  }
  return {};
}

int NetworkCommand(Context& ctx, const NetArgs& args, const std::atomic<bool>* cancel) {
  SocketOptions options;
  options.timeoutMs = args.timeoutSeconds * 1000;
  options.cancel = cancel;
  LinuxSockets sockets(options);
  TerminalStateLine state;
  Network net{sockets, state};
  auto ended = [&](bool ok) {
    if (cancel && cancel->load()) {
      Fail("cancelled");
      return kExitInterrupted;
    }
    return ok ? kExitOk : kExitFailed;
  };

  if (args.sub == "fetch-list") {
    bool ok = RetrieveServerList(ctx, net);
    if (ok) {
      size_t n = ctx.modules.server.size();
      std::cout << n << (n == 1 ? " module" : " modules") << " in the Server database\n";
    } else {
      Fail("the module list was not fetched; the Server database is as it was");
    }
    return ended(ok);
  }

  if (!IsWellFormedSerial(args.serial)) {
    Fail("'" + args.serial + "' is not a module serial (0x and 32 upper-case hexadecimal digits)");
    return kExitFailed;
  }

  if (args.sub == "download") {
    const IndexEntry* entry = nullptr;
    for (const IndexEntry& e : ctx.modules.server)
      if (e.serial() == args.serial) entry = &e;
    if (!entry) {
      Fail("no module " + args.serial + " in the Server database (modules fetch-list fetches it)");
      return kExitFailed;
    }
    IndexEntry chosen = *entry;  // the Local list may grow while it is used
    DownloadResult r = DownloadModule(ctx, net, chosen);
    if (r == DownloadResult::Downloaded) std::cout << "Downloaded " << args.serial << " into the Local database\n";
    if (r == DownloadResult::IndexNotSaved) {
      const std::string why =
          ctx.modules.localError.empty() ? ctx.dos.LastErrorText() : ctx.modules.localError;
      Fail("the Local index could not be saved, the module was not filed: " + why);
      return kExitFailed;
    }
    return r == DownloadResult::AlreadyLocal ? kExitFailed : ended(r == DownloadResult::Downloaded);
  }

  // upload
  if (!IsInDatabase(ctx, args.serial, Database::Local)) {
    Fail("no module " + args.serial + " in the Local database");
    return kExitFailed;
  }
  // The log question is answered by --save-log.
  UploadResult r = UploadModule(ctx, net, args.serial, args.saveLog);
  if (r == UploadResult::Uploaded) std::cout << "Uploaded " << args.serial << "\n";
  return r == UploadResult::AlreadyOnServer ? kExitFailed : ended(r == UploadResult::Uploaded);
}

}  // namespace kr::cli
