# The cipher and hash workloads: MD5, MARS, Serpent and their three tests.
target_sources(krcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/md5.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mars.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serpent.cpp
  ${CMAKE_CURRENT_LIST_DIR}/md5_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mars_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serpent_test.cpp)
