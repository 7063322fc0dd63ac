// mpega.library: MPEG audio decoding behind three calls (open a stream with
// a control record, decode the next frame into two channel buffers, close),
// plus opening and closing the library itself.
//
// The control record is the library's 46-byte big-endian structure; callers
// pass its bytes, so the layout can be checked against the table below:
//
//   offset size  field
//    0      4    bitstream access hook (0: the library reads the file)
//    4     18    layers I and II:  force mono (2), mono frequency divisor (2),
//                mono quality (2), mono maximum frequency (4), stereo
//                frequency divisor (2), stereo quality (2), stereo maximum
//                frequency (4)
//   22     18    layer III: the same fields
//   40      2    check for a valid MPEG stream at its start (0: no)
//   42      4    stream buffer size in bytes
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kr {

constexpr size_t kMpegaControlSize = 46;
// Samples per channel of the largest frame (layer II and III: 1152).
constexpr int kMpegaPcmSize = 1152;

struct MpegaOutput {
  int16_t freqDiv = 1;      // 1, 2 or 4
  int16_t quality = 2;      // 0 (fastest) .. 2 (best)
  int32_t freqMax = 44100;  // highest output rate wanted
};

struct MpegaLayer {
  int16_t forceMono = 0;  // decode stereo streams to one channel
  MpegaOutput mono;       // settings for mono output
  MpegaOutput stereo;     // settings for stereo output
};

struct MpegaControl {
  uint32_t bsAccess = 0;
  MpegaLayer layer12;
  MpegaLayer layer3;
  int16_t checkMpeg = 0;
  int32_t streamBufferSize = 32687;
};

using MpegaControlBytes = std::array<uint8_t, kMpegaControlSize>;

// Big-endian image of the record and back.
MpegaControlBytes EncodeMpegaControl(const MpegaControl& c);
MpegaControl DecodeMpegaControl(const MpegaControlBytes& bytes);

// The record the MP3 2 CDDA test passes: no hook, no forced mono, divisor 1,
// quality 2 and at most 44100 Hz for both layer groups, no validity check,
// a 32687-byte stream buffer.
MpegaControl Mp3CddaControl();

// An open stream. Implementations derive from it; the fields are filled by
// the open call and stay fixed while the stream is open.
struct MpegaStream {
  virtual ~MpegaStream() = default;
  uint32_t durationMs = 0;  // length of the whole stream in milliseconds
  uint32_t frequency = 0;   // output sample rate
  int16_t channels = 0;     // channels of the output (1 or 2)
  int16_t layer = 0;        // 1, 2 or 3
};

class Mpega {
 public:
  virtual ~Mpega() = default;

  // OpenLibrary/CloseLibrary: false when the library cannot be had.
  virtual bool OpenLibrary() = 0;
  virtual void CloseLibrary() = 0;

  // Opens the file (a host path) for decoding. Returns nullptr when the file
  // cannot be opened, holds no decodable MPEG audio or the control record
  // asks for something the decoder cannot do.
  virtual MpegaStream* OpenStream(const std::string& hostPath, const MpegaControlBytes& control) = 0;
  // Decodes the next frame: pcm[0] gets the left (or only) channel, pcm[1]
  // the right one (a copy of the left one for mono output); each buffer holds
  // kMpegaPcmSize samples. Returns the samples per channel (0 or more), or a
  // negative value at the end of the stream or on an error. Neither
  // allocates nor prints.
  virtual int32_t DecodeFrame(MpegaStream* stream, int16_t* const pcm[2]) = 0;
  virtual void CloseStream(MpegaStream* stream) = 0;
};

// The host's decoder (libmpg123 on Linux).
std::unique_ptr<Mpega> MakeHostMpega();

}  // namespace kr
