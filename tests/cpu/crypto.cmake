# kr_test(test_cpu_crypto ${CMAKE_CURRENT_LIST_DIR}/file_test.cpp)
