# The desktop end-to-end rigs (Linux): child processes with their output, and an X client that
# finds windows, clicks and reads pixels. Their sources sit with the desktop tests.
if(NOT WIN32)
  add_library(lantorvix_child_process STATIC ${PROJECT_SOURCE_DIR}/tests/app/e2e/child_process.cpp)
  target_link_libraries(lantorvix_child_process PUBLIC lantorvix_test_support)
  lantorvix_warnings(lantorvix_child_process)

  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LANTORVIX_PROBE_X REQUIRED IMPORTED_TARGET x11 xtst)
  add_library(lantorvix_x_probe STATIC ${PROJECT_SOURCE_DIR}/tests/app/e2e/x_probe.cpp)
  target_link_libraries(lantorvix_x_probe PUBLIC lantorvix_test_support PRIVATE PkgConfig::LANTORVIX_PROBE_X)
  lantorvix_warnings(lantorvix_x_probe)
endif()
