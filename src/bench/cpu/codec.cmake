# sources of this group: target_sources(krcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/file.cpp)
