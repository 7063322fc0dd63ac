# The desktop program's start-up and the GUI thread's pauses during a run
# (offscreen platform; the home helpers of the desktop tests).
add_executable(perf_desktop ${CMAKE_CURRENT_LIST_DIR}/desktop_bench.cpp)
target_link_libraries(perf_desktop PRIVATE krgui kr_fakes benchmark::benchmark)
target_include_directories(perf_desktop PRIVATE ${CMAKE_SOURCE_DIR}/tests)
