// mpega.library on Linux: libmpg123 behind the three stream calls.
//
// How the control record is honoured:
// - bitstream access hook: only 0 (the library reads the file itself); a
//   non-zero hook cannot be a callable address here and the open fails.
// - force mono: a stereo stream is mixed down to one channel (MPG123_MONO_MIX).
// - frequency divisor and maximum frequency: the divisor (1, 2 or 4; any
//   other value counts as 1) is doubled, up to 4, while the stream's rate
//   divided by it still exceeds the maximum frequency; libmpg123 then decodes
//   at 1/2 or 1/4 of the rate (MPG123_DOWN_SAMPLE). The settings of the
//   layer group (I/II or III) and of the output kind (mono or stereo) of the
//   stream are used.
// - quality: libmpg123 has a single full-quality decoder; the field is
//   accepted and has no effect.
// - MPEG validity check: when set, the file must begin with an MPEG audio
//   frame header (after an optional ID3v2 tag); otherwise libmpg123 may skip
//   leading garbage to find the first frame. Either way a file without any
//   decodable frame cannot be opened.
// - stream buffer size: the size of the stdio buffer through which
//   libmpg123 reads the file (at least 1 KiB).
//
// The stream duration is frames x samples per frame / rate, counted by a
// full scan of the file when the stream is opened. Gapless trimming is off,
// so every frame yields its full sample count, as a frame decoder should.
#include <mpg123.h>
#include <sys/types.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/mpega.h"

namespace kr {
namespace {

struct FileReader {
  FILE* file = nullptr;
  std::vector<char> buffer;

  bool Open(const std::string& path, size_t bufferSize) {
    file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    buffer.resize(bufferSize < 1024 ? 1024 : bufferSize);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
    return true;
  }
  void Close() {
    if (file) std::fclose(file);
    file = nullptr;
  }
  ~FileReader() { Close(); }
};

mpg123_ssize_t ReadCb(void* handle, void* buf, size_t n) {
  FILE* f = static_cast<FileReader*>(handle)->file;
  size_t got = std::fread(buf, 1, n, f);
  if (got == 0 && std::ferror(f)) return -1;
  return mpg123_ssize_t(got);
}

off_t SeekCb(void* handle, off_t offset, int whence) {
  FILE* f = static_cast<FileReader*>(handle)->file;
  if (fseeko(f, offset, whence) != 0) return -1;
  return ftello(f);
}

struct Mpg123Stream : MpegaStream {
  mpg123_handle* mh = nullptr;
  FileReader reader;
  ~Mpg123Stream() override {
    if (mh) {
      mpg123_close(mh);
      mpg123_delete(mh);
    }
  }
};

// A handle reading through `reader`, with the flags every handle gets.
mpg123_handle* NewHandle(FileReader& reader, long flags, long downSample) {
  int err = MPG123_OK;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return nullptr;
  bool ok = mpg123_param(mh, MPG123_FLAGS, flags, 0) == MPG123_OK &&
            mpg123_param(mh, MPG123_DOWN_SAMPLE, downSample, 0) == MPG123_OK &&
            mpg123_replace_reader_handle(mh, ReadCb, SeekCb, nullptr) == MPG123_OK && mpg123_format_none(mh) == MPG123_OK;
  if (ok) {
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; ok && i < count; ++i)
      ok = mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK;
  }
  if (ok) ok = mpg123_open_handle(mh, &reader) == MPG123_OK;
  if (!ok) {
    mpg123_delete(mh);
    return nullptr;
  }
  return mh;
}

// An MPEG audio frame header at p: sync, a valid layer, bitrate and rate.
bool IsFrameHeader(const uint8_t* p) {
  return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && (p[1] & 0x06) != 0 && (p[2] & 0xF0) != 0xF0 && (p[2] & 0x0C) != 0x0C;
}

bool BeginsWithFrame(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t h[10];
  bool ok = std::fread(h, 1, 10, f) == 10;
  if (ok && std::memcmp(h, "ID3", 3) == 0) {
    long size = (long(h[6] & 0x7F) << 21) | (long(h[7] & 0x7F) << 14) | (long(h[8] & 0x7F) << 7) | long(h[9] & 0x7F);
    if (h[5] & 0x10) size += 10;  // footer
    ok = std::fseek(f, 10 + size, SEEK_SET) == 0 && std::fread(h, 1, 4, f) == 4;
  }
  std::fclose(f);
  return ok && IsFrameHeader(h);
}

int DownSampleFor(const MpegaOutput& out, long rate) {
  int div = (out.freqDiv == 2 || out.freqDiv == 4) ? out.freqDiv : 1;
  while (div < 4 && out.freqMax > 0 && rate / div > out.freqMax) div *= 2;
  return div == 4 ? 2 : div == 2 ? 1 : 0;
}

class Mpg123Mpega : public Mpega {
 public:
  bool OpenLibrary() override {
    if (open_ == 0 && mpg123_init() != MPG123_OK) return false;
    ++open_;
    return true;
  }
  void CloseLibrary() override {
    if (open_ > 0) --open_;
  }

  MpegaStream* OpenStream(const std::string& hostPath, const MpegaControlBytes& bytes) override {
    if (open_ == 0) return nullptr;
    MpegaControl c = DecodeMpegaControl(bytes);
    if (c.bsAccess != 0) return nullptr;
    if (c.checkMpeg != 0 && !BeginsWithFrame(hostPath)) return nullptr;
    const long baseFlags = MPG123_QUIET;

    // Probe: the first frame's layer, rate and mode, and the frame count.
    long frames = 0, rate = 0, spf = 0;
    int layer = 0, mode = 0;
    {
      FileReader probeReader;
      if (!probeReader.Open(hostPath, size_t(c.streamBufferSize > 0 ? c.streamBufferSize : 0))) return nullptr;
      mpg123_handle* probe = NewHandle(probeReader, baseFlags, 0);
      if (!probe) return nullptr;
      long r = 0;
      int ch = 0, enc = 0;
      mpg123_frameinfo2 info{};
      bool ok = mpg123_getformat(probe, &r, &ch, &enc) == MPG123_OK && mpg123_info2(probe, &info) == MPG123_OK &&
                mpg123_scan(probe) == MPG123_OK;
      if (ok) {
        frames = long(mpg123_framelength(probe));
        spf = mpg123_spf(probe);
        rate = info.rate;
        layer = info.layer;
        mode = info.mode;
      }
      mpg123_close(probe);
      mpg123_delete(probe);
      if (!ok || frames <= 0 || spf <= 0 || rate <= 0 || layer < 1 || layer > 3) return nullptr;
    }

    const MpegaLayer& group = layer == 3 ? c.layer3 : c.layer12;
    bool monoOut = mode == MPG123_M_MONO || group.forceMono != 0;
    const MpegaOutput& out = monoOut ? group.mono : group.stereo;
    long flags = baseFlags | ((mode != MPG123_M_MONO && group.forceMono != 0) ? MPG123_MONO_MIX : 0);
    int down = DownSampleFor(out, rate);

    auto* s = new Mpg123Stream;
    if (!s->reader.Open(hostPath, size_t(c.streamBufferSize > 0 ? c.streamBufferSize : 0))) {
      delete s;
      return nullptr;
    }
    s->mh = NewHandle(s->reader, flags, down);
    long r = 0;
    int ch = 0, enc = 0;
    // Reads the first header and sets the decoder up, so that decoding
    // starts with the first frame's audio.
    if (!s->mh || mpg123_getformat(s->mh, &r, &ch, &enc) != MPG123_OK || enc != MPG123_ENC_SIGNED_16 ||
        (ch != 1 && ch != 2)) {
      delete s;
      return nullptr;
    }
    s->durationMs = uint32_t((long long)frames * spf * 1000 / rate);
    s->frequency = uint32_t(r);
    s->channels = int16_t(ch);
    s->layer = int16_t(layer);
    return s;
  }

  int32_t DecodeFrame(MpegaStream* stream, int16_t* const pcm[2]) override {
    auto* s = static_cast<Mpg123Stream*>(stream);
    if (!s || !s->mh) return -1;
    for (;;) {
      off_t num = 0;
      unsigned char* audio = nullptr;
      size_t bytes = 0;
      int rc = mpg123_decode_frame(s->mh, &num, &audio, &bytes);
      if (rc == MPG123_NEW_FORMAT) {
        long r = 0;
        int ch = 0, enc = 0;
        if (mpg123_getformat(s->mh, &r, &ch, &enc) != MPG123_OK || enc != MPG123_ENC_SIGNED_16) return -1;
        s->channels = int16_t(ch);
        if (bytes == 0) continue;
      } else if (rc != MPG123_OK) {
        return -1;
      }
      const auto* in = reinterpret_cast<const int16_t*>(audio);
      size_t n = bytes / (2 * size_t(s->channels));
      if (n > size_t(kMpegaPcmSize)) n = kMpegaPcmSize;
      if (s->channels == 2) {
        for (size_t i = 0; i < n; ++i) {
          pcm[0][i] = in[2 * i];
          pcm[1][i] = in[2 * i + 1];
        }
      } else {
        std::memcpy(pcm[0], in, n * 2);
        std::memcpy(pcm[1], in, n * 2);
      }
      return int32_t(n);
    }
  }

  void CloseStream(MpegaStream* stream) override { delete static_cast<Mpg123Stream*>(stream); }

 private:
  int open_ = 0;
};

}  // namespace

std::unique_ptr<Mpega> MakeHostMpega() { return std::make_unique<Mpg123Mpega>(); }

}  // namespace kr
