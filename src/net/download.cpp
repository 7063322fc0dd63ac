#include "net/download.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/context.h"
#include "engine/errorlog.h"
#include "modules/module_base.h"
#include "modules/transfer_rules.h"
#include "net/http.h"
#include "util/numtext.h"

namespace kr {

bool IsCompleteIndex(const uint8_t* bytes, size_t size) {
  if (size < idx::kCountField) return false;
  long count = 0;
  std::string field(reinterpret_cast<const char*>(bytes), idx::kCountField);
  field.resize(field.find('\0') == std::string::npos ? field.size() : field.find('\0'));
  if (StrToLong(field, count) < 0 || count < 0 || size_t(count) > kMaxServerEntries) return false;
  return size == idx::kCountField + idx::kEntrySize * size_t(count);
}

bool RetrieveServerList(Context& ctx, Network& net) {
  std::vector<uint8_t> body;
  if (!HttpGet(ctx, net, ctx.run.serverHost, ctx.run.serverPath, "database.dbi",
               idx::kCountField + idx::kEntrySize * kMaxServerEntries, body, net::kListTooLarge))
    return false;
  if (!IsCompleteIndex(body.data(), body.size())) {
    long count = 0;
    std::string field(reinterpret_cast<const char*>(body.data()), std::min(body.size(), idx::kCountField));
    field.resize(std::min(field.size(), field.find('\0')));
    bool tooMany = StrToLong(field, count) >= 0 && count > long(kMaxServerEntries);
    net.state.ShowState(tooMany ? net::kListTooLarge : net::kBadDatabase);
    return false;
  }
  if (!ctx.dos.WriteFileAtomic(db::kServerIndex, body.data(), body.size())) {
    net.state.ShowState(net::kCantCreate);
    return false;
  }
  ClearServerList(ctx);
  int skipped = 0;
  LoadIndex(ctx, Database::Server, &skipped);
  if (skipped > 0)
    LogError(ctx, "SERVER", "RetrieveServerList",
             std::to_string(skipped) + (skipped == 1 ? " entry" : " entries") + " with a bad serial left out!");
  net.state.ShowState(net::kTransferCompleted);
  return true;
}

DownloadResult DownloadModule(Context& ctx, Network& net, const IndexEntry& entry) {
  std::string serial(entry.serial());
  if (const RuleOutcome may = MayDownload(ctx, serial); !may) {
    ctx.requester.Request(kErrorTitle, may.reason, "Ok");
    return DownloadResult::AlreadyLocal;
  }
  auto fail = [&] {
    net.state.ShowState(net::kCantDownload);
    return DownloadResult::Failed;
  };
  std::string path = LocalModulePath(serial);  // empty for a serial that cannot name a file
  if (path.empty()) {
    LogError(ctx, "SERVER", "DownloadModule", "Bad serial in server entry!");
    return fail();
  }
  std::vector<uint8_t> body;
  if (!HttpGet(ctx, net, ctx.run.serverHost, ctx.run.serverPath, serial + ".dbe", mod::kFileSize, body)) {
    return fail();
  }
  if (body.size() != mod::kFileSize) return fail();
  ModuleRecord record;
  std::copy(body.begin(), body.end(), record.bytes.begin());
  ScrambleModule(record);
  // The serial is the MD5 of the module's bytes: a transfer over plain HTTP
  // that was damaged or swapped does not carry the serial of its bytes.
  if (CheckModule(record) != ModuleValidity::Valid || ModuleSerial(record) != serial ||
      !SerialMatchesContents(record)) {
    LogError(ctx, "SERVER", "DownloadModule", "Module does not match its serial!");
    return fail();
  }
  // Nothing is filed into a Local database whose index could not be read.
  if (!ctx.modules.localError.empty()) {
    net.state.ShowState(net::kCantCreate);
    return DownloadResult::IndexNotSaved;
  }
  if (!ctx.dos.WriteFileAtomic(path, body.data(), body.size())) return fail();
  ctx.modules.local.push_back(entry);
  if (!SaveLocalIndex(ctx)) {
    // The module is not filed without its entry: the list and the folder go
    // back to what they were (the save's error is kept for the message).
    const DosError saveError = ctx.dos.LastError();
    ctx.modules.local.pop_back();
    ctx.dos.DeleteFile(path);
    ctx.dos.SetLastError(saveError);
    net.state.ShowState(net::kCantCreate);
    return DownloadResult::IndexNotSaved;
  }
  net.state.ShowState(net::kTransferCompleted);
  return DownloadResult::Downloaded;
}

}  // namespace kr
