kr_test(test_cpu_int
  ${CMAKE_CURRENT_LIST_DIR}/integer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fpu_test.cpp
)
