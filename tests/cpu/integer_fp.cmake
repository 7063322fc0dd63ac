# kr_test(test_cpu_integer_fp ${CMAKE_CURRENT_LIST_DIR}/file_test.cpp)
