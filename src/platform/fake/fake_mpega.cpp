#include "platform/fake/fake_mpega.h"

namespace kr {

bool FakeMpega::OpenLibrary() {
  if (libraryMissing) return false;
  ++libraryOpens;
  return true;
}

MpegaStream* FakeMpega::OpenStream(const std::string& hostPath, const MpegaControlBytes& control) {
  lastPath = hostPath;
  lastControl = control;
  if (streamFails) return nullptr;
  ++streamOpens;
  auto* s = new Stream;
  s->durationMs = durationMs;
  s->frequency = 44100;
  s->channels = 2;
  s->layer = 3;
  return s;
}

int32_t FakeMpega::DecodeFrame(MpegaStream* stream, int16_t* const pcm[2]) {
  ++decodeCalls;
  auto* s = static_cast<Stream*>(stream);
  if (s->next >= frames) return -1;
  int f = s->next++;
  for (int i = 0; i < samplesPerFrame && i < kMpegaPcmSize; ++i) {
    pcm[0][i] = int16_t(f * 1000 + i);
    pcm[1][i] = int16_t(-(f * 1000 + i));
  }
  return samplesPerFrame;
}

void FakeMpega::CloseStream(MpegaStream* stream) {
  ++streamCloses;
  delete static_cast<Stream*>(stream);
}

}  // namespace kr
