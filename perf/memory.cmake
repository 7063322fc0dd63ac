# kr_perf(perf_memory ${CMAKE_CURRENT_LIST_DIR}/memory_bench.cpp)
