kr_test(test_cpu_crypto
  ${CMAKE_CURRENT_LIST_DIR}/crypto_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serpent_test.cpp
)
