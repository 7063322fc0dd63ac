kr_test(test_cpu_codec
  ${CMAKE_CURRENT_LIST_DIR}/codec_test.cpp
)
