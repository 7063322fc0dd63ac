# The cipher and hash workloads: MD5, MARS, Serpent and their three tests.
target_sources(kr_bench_cpu PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/mars.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serpent.cpp
  ${CMAKE_CURRENT_LIST_DIR}/md5_checksuming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mars_cipher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serpent_cipher.cpp)
