// The results record: the current module record (9504 bytes, big-endian).
// The results area (bytes 0..7231) holds raw figures and score slots; the
// descriptive part after it belongs to the module record.
#pragma once

#include <cstddef>

#include "records/catalogue.h"
#include "records/record_layout.h"
#include "util/bytes.h"

namespace kr {

struct ScoreSlot {
  double percent = 0.0;
  double valid = 0.0;
  bool counts() const { return valid != 0.0; }
};

struct ResultsRecord : ByteImage<rec::kSize> {
  double figure(size_t off) const { return f64(off); }
  void setFigure(size_t off, double v) { set_f64(off, v); }
  ScoreSlot score(int s) const {
    size_t off = rec::kScoreSlots + 16 * size_t(s);
    return {f64(off), f64(off + 8)};
  }
  void setScore(int s, ScoreSlot v) {
    size_t off = rec::kScoreSlots + 16 * size_t(s);
    set_f64(off, v.percent);
    set_f64(off + 8, v.valid);
  }
};

}  // namespace kr
