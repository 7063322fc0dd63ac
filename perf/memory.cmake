kr_perf(perf_memory ${CMAKE_CURRENT_LIST_DIR}/memory_bench.cpp)
# Runs the byte-read kernel and its calibration nest once, for callgrind.
kr_perf(perf_memory_callgrind ${CMAKE_CURRENT_LIST_DIR}/memory_callgrind.cpp)
