# LibJPEG functions, MP3 2 CDDA, ZLib functions.
target_sources(kr_bench_cpu PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_codec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_functions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mp3_cdda.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zlib_functions.cpp
)
