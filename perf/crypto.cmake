# kr_perf(perf_crypto ${CMAKE_CURRENT_LIST_DIR}/crypto_bench.cpp)
