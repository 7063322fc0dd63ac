#include "records/catalogue.h"

namespace kr {

uint32_t BlockSizeOfStep(int32_t step) {
  if (step < 1 || step > 17) return 0;
  return 128u << (step - 1);
}

}  // namespace kr
