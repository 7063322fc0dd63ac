kr_perf(perf_timing ${CMAKE_CURRENT_LIST_DIR}/timing_bench.cpp)
