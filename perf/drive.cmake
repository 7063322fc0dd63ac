# The drive section against fio and plain open/unlink loops on a real
# partition (KR_PERF_PARTITION); fio is run as a separate program.
kr_perf(perf_drive ${CMAKE_CURRENT_LIST_DIR}/drive_bench.cpp)
