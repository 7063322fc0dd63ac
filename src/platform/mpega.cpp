#include "platform/mpega.h"

#include "util/bytes.h"

namespace kr {
namespace {
// Offsets inside the 18-byte block of one layer group.
constexpr size_t kForceMono = 0, kMonoDiv = 2, kMonoQuality = 4, kMonoMax = 6, kStereoDiv = 10,
                 kStereoQuality = 12, kStereoMax = 14, kLayerSize = 18;
constexpr size_t kBsAccess = 0, kLayer12 = 4, kLayer3 = 22, kCheckMpeg = 40, kStreamBuffer = 42;
static_assert(kLayer12 + kLayerSize == kLayer3);
static_assert(kLayer3 + kLayerSize == kCheckMpeg);
static_assert(kStreamBuffer + 4 == kMpegaControlSize);

void PutLayer(uint8_t* p, const MpegaLayer& l) {
  PutU16(p + kForceMono, uint16_t(l.forceMono));
  PutU16(p + kMonoDiv, uint16_t(l.mono.freqDiv));
  PutU16(p + kMonoQuality, uint16_t(l.mono.quality));
  PutS32(p + kMonoMax, l.mono.freqMax);
  PutU16(p + kStereoDiv, uint16_t(l.stereo.freqDiv));
  PutU16(p + kStereoQuality, uint16_t(l.stereo.quality));
  PutS32(p + kStereoMax, l.stereo.freqMax);
}

MpegaLayer GetLayer(const uint8_t* p) {
  MpegaLayer l;
  l.forceMono = int16_t(GetU16(p + kForceMono));
  l.mono.freqDiv = int16_t(GetU16(p + kMonoDiv));
  l.mono.quality = int16_t(GetU16(p + kMonoQuality));
  l.mono.freqMax = GetS32(p + kMonoMax);
  l.stereo.freqDiv = int16_t(GetU16(p + kStereoDiv));
  l.stereo.quality = int16_t(GetU16(p + kStereoQuality));
  l.stereo.freqMax = GetS32(p + kStereoMax);
  return l;
}
}  // namespace

MpegaControlBytes EncodeMpegaControl(const MpegaControl& c) {
  MpegaControlBytes b{};
  PutU32(b.data() + kBsAccess, c.bsAccess);
  PutLayer(b.data() + kLayer12, c.layer12);
  PutLayer(b.data() + kLayer3, c.layer3);
  PutU16(b.data() + kCheckMpeg, uint16_t(c.checkMpeg));
  PutS32(b.data() + kStreamBuffer, c.streamBufferSize);
  return b;
}

MpegaControl DecodeMpegaControl(const MpegaControlBytes& b) {
  MpegaControl c;
  c.bsAccess = GetU32(b.data() + kBsAccess);
  c.layer12 = GetLayer(b.data() + kLayer12);
  c.layer3 = GetLayer(b.data() + kLayer3);
  c.checkMpeg = int16_t(GetU16(b.data() + kCheckMpeg));
  c.streamBufferSize = GetS32(b.data() + kStreamBuffer);
  return c;
}

MpegaControl Mp3CddaControl() {
  MpegaLayer l;
  l.forceMono = 0;
  l.mono = {1, 2, 44100};
  l.stereo = {1, 2, 44100};
  MpegaControl c;
  c.bsAccess = 0;
  c.layer12 = l;
  c.layer3 = l;
  c.checkMpeg = 0;
  c.streamBufferSize = 32687;
  return c;
}

}  // namespace kr
