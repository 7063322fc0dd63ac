# The chart drawn through the Qt canvas (needs krqt and a QGuiApplication).
add_executable(perf_charts ${CMAKE_CURRENT_LIST_DIR}/charts_bench.cpp)
target_link_libraries(perf_charts PRIVATE krqt kr_fakes benchmark::benchmark)
