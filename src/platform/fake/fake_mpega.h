// A scripted mpega.library for tests: the library or the stream can be
// made missing, and a stream yields a fixed number of frames with a known
// sample pattern.
#pragma once

#include <string>
#include <vector>

#include "platform/mpega.h"

namespace kr {

class FakeMpega : public Mpega {
 public:
  bool libraryMissing = false;  // OpenLibrary fails
  bool streamFails = false;     // OpenStream returns nullptr
  int frames = 10;              // frames before the end of the stream
  int samplesPerFrame = kMpegaPcmSize;
  uint32_t durationMs = 261;

  // What the caller did.
  int libraryOpens = 0, libraryCloses = 0, streamOpens = 0, streamCloses = 0, decodeCalls = 0;
  std::string lastPath;
  MpegaControlBytes lastControl{};

  bool OpenLibrary() override;
  void CloseLibrary() override { ++libraryCloses; }
  MpegaStream* OpenStream(const std::string& hostPath, const MpegaControlBytes& control) override;
  // Frame f gives left sample i = f * 1000 + i and right sample = -(left).
  int32_t DecodeFrame(MpegaStream* stream, int16_t* const pcm[2]) override;
  void CloseStream(MpegaStream* stream) override;

 private:
  struct Stream : MpegaStream {
    int next = 0;
  };
};

}  // namespace kr
