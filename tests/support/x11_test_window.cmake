# A focused X client window that records the text typed into it (keyboard tests, benchmarks).
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LANTORVIX_TEST_X11 REQUIRED IMPORTED_TARGET x11 xkbcommon)
  add_library(lantorvix_x11_test_window STATIC ${CMAKE_CURRENT_LIST_DIR}/x11_test_window.cpp)
  target_link_libraries(lantorvix_x11_test_window PUBLIC lantorvix_test_support PRIVATE PkgConfig::LANTORVIX_TEST_X11)
  lantorvix_warnings(lantorvix_x11_test_window)
endif()
