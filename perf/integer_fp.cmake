# Runs each integer workload once, for callgrind (docs/measurement.md).
kr_perf(perf_integer_fp_callgrind ${CMAKE_CURRENT_LIST_DIR}/integer_fp_callgrind.cpp)
