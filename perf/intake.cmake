# The collection side's cost per module for collections of 1000 to 100000
# modules (KR_PERF_DIR, default /dev/shm).
kr_perf(perf_intake ${CMAKE_CURRENT_LIST_DIR}/intake_bench.cpp)
target_link_libraries(perf_intake PRIVATE krintake)
