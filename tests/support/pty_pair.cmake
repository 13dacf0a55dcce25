# Pseudo-terminal pair fixture (Linux): a stand-in serial line for tests and benchmarks.
if(NOT WIN32)
  add_library(lantorvix_pty_pair STATIC ${CMAKE_CURRENT_LIST_DIR}/pty_pair.cpp)
  target_include_directories(lantorvix_pty_pair PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  lantorvix_warnings(lantorvix_pty_pair)
endif()
