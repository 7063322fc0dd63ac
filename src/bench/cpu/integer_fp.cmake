# The processor card procedure and the integer and floating-point workloads.
target_sources(krcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/card.cpp
)
