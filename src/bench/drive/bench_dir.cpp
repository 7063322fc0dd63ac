#include "bench/drive/bench_dir.h"

#include <cstdio>
#include <utility>
#include <memory>
#include <new>

#include "engine/errorlog.h"
#include "engine/home_files.h"
#include "engine/progress.h"

namespace kr {
namespace {

constexpr std::string_view kFolder = "KelvaRANK_bench/";

void Fail(Context& ctx, const char* reason) { LogError(ctx, "DRIVE", "MakeDriveEnviroment", reason); }

// Copies one data file; false (after its error entry) when a step failed.
bool CopyDataFile(Context& ctx, const std::string& source, const std::string& copy, int64_t size) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size_t(size)]);
  if (!buffer) return Fail(ctx, "Could not get memory for the file buffer"), false;
  const int64_t in = ctx.dos.Open(source, MODE_OLDFILE);
  if (in == 0) return Fail(ctx, "Could not open source file"), false;
  const int64_t got = ctx.dos.Read(in, buffer.get(), size);
  ctx.dos.Close(in);
  if (got != size) return Fail(ctx, "Wrong filelen read."), false;
  const int64_t out = ctx.dos.Open(copy, MODE_NEWFILE);
  if (out == 0) return Fail(ctx, "Could not open destination file"), false;
  const int64_t put = ctx.dos.Write(out, buffer.get(), size);
  const bool closed = ctx.dos.Close(out);
  // A close that fails has not stored the bytes either (a full file system).
  if (put != size || !closed) return Fail(ctx, "Wrong filelen wrote."), false;
  return true;
}

}  // namespace

bool WriteCrashMarker(Context& ctx, const FileId* folder) {
  std::string text(RunSettings(ctx).partition());
  if (folder) {
    text += '\0';
    text += std::to_string(folder->device) + " " + std::to_string(folder->inode) + "\n";
  }
  return ctx.dos.WriteFileAtomic(kPidFile, text.data(), text.size());
}

bool ReadCrashMarker(std::string_view bytes, CrashMarker& out) {
  out = CrashMarker{};
  const size_t nul = bytes.find('\0');
  out.drivePath = std::string(bytes.substr(0, nul));
  if (out.drivePath.empty() || out.drivePath.size() > kMaxDrivePath) return false;
  if (nul == std::string_view::npos) return true;  // the path alone (the first form, still written first)
  unsigned long long dev = 0, ino = 0;
  char end = 0;
  const std::string rest(bytes.substr(nul + 1));
  if (std::sscanf(rest.c_str(), "%llu %llu%c", &dev, &ino, &end) == 3 && end == '\n' && ino != 0) {
    out.hasFolder = true;
    out.folder = FileId{dev, ino};
  }
  return true;
}

std::string BenchmarkPath(std::string_view partition, std::string_view name) {
  std::string path(partition);
  if (path.empty() || (path.back() != ':' && path.back() != '/')) path += ':';
  path += kFolder;
  path += name;
  return path;
}

const std::string& BenchFiles::CopyOfSize(uint32_t bytes) const {
  int k = 0;
  while (k < kDataCopyCount - 1 && (128u << k) < bytes) ++k;
  return copies[size_t(k)];
}

bool MakeBenchmarkDirectory(Context& ctx, BenchFiles& files, StartupProgress& progress) {
  files.partition = std::string(RunSettings(ctx).partition());
  files.scratch.assign(kScratchNameCount, {});
  char name[16];
  for (int i = 0; i < kScratchNameCount; ++i) {
    std::snprintf(name, sizeof name, "%.5d", i);
    files.scratch[size_t(i)] = BenchmarkPath(files.partition, name);
  }
  files.handles.assign(kScratchNameCount, 0);
  files.directory = BenchmarkPath(files.partition, "");
  files.directory.pop_back();
  for (int k = 0; k < kDataCopyCount; ++k) files.copies[size_t(k)] = BenchmarkPath(files.partition, DataFileName(k));
  files.foobar = BenchmarkPath(files.partition, "foobar.bin");

  files.createFailure.clear();
  files.created = ctx.dos.CreateDir(files.directory);
  if (!files.created) files.createFailure = ctx.dos.LastErrorReason();
  if (files.created && !ctx.dos.Identify(files.directory, files.identity)) {
    ctx.dos.DeleteFile(files.directory);  // gone again at once: nothing of it can be ours
    files.created = false;
    files.createFailure = "it vanished at once";
  }
  if (!files.created) {
    Fail(ctx, "Could not create Directory on your selected Drive");
    return false;
  }
  // The crash marker names this folder by device and inode from now on: the
  // next start's clean-up then removes only this folder, and keeps the
  // marker while the partition is not mounted.
  if (!WriteCrashMarker(ctx, &files.identity))
    LogError(ctx, "DRIVE", "MakeDriveEnviroment", "Could not write the crash marker");
  bool ok = true;
  for (int k = 0; k < kDataCopyCount; ++k) {
    progress.SetGauge(5 * k);
    if (ctx.Interrupted()) return false;  // a stop request ends the copying; the caller cleans up
    ok &= CopyDataFile(ctx, std::string(kDataDir) + DataFileName(k), files.copies[size_t(k)], DataFileSize(k));
  }
  return ok;
}

bool BenchmarkDirectoryIntact(Context& ctx, const BenchFiles& files) {
  FileId now;
  return files.created && ctx.dos.Identify(files.directory, now) && now == files.identity;
}

bool RemoveBenchmarkDirectory(Context& ctx, BenchFiles& files) {
  for (int64_t& fh : files.handles)
    if (fh != 0) ctx.dos.Close(std::exchange(fh, 0));
  bool left = files.created && !BenchmarkDirectoryIntact(ctx, files);
  if (files.created && !left) {
    for (const std::string& s : files.scratch) ctx.dos.DeleteFile(s);
    for (const std::string& c : files.copies) ctx.dos.DeleteFile(c);
    ctx.dos.DeleteFile(files.foobar);
    ctx.dos.DeleteFile(files.directory);
    // Checked, not assumed: a folder that is still there (a file put into
    // it, a failing device) keeps the crash marker for the next start.
    FileId still;
    left = ctx.dos.Identify(files.directory, still) && still == files.identity;
  }
  files.created = false;
  files.scratch.clear();
  files.handles.clear();
  return !left;
}

}  // namespace kr
