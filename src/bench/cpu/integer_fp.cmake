# The integer and floating-point workloads.
target_sources(kr_bench_cpu PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/bogomips.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dhrystone.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fibonacci.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fpu.cpp
)
# The FLOPS loops run operation for operation as published: no fused
# multiply-add contraction, no vectorised forms.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/fpu.cpp PROPERTIES
  COMPILE_OPTIONS "-ffp-contract=off;-fno-tree-vectorize")
