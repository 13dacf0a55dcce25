# A private Xvfb server per test (X11 and Qt window tests).
if(NOT WIN32)
  add_library(lantorvix_xvfb STATIC ${CMAKE_CURRENT_LIST_DIR}/xvfb_server.cpp)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LANTORVIX_XVFB_X11 REQUIRED IMPORTED_TARGET x11)
  target_link_libraries(lantorvix_xvfb PUBLIC lantorvix_test_support PRIVATE PkgConfig::LANTORVIX_XVFB_X11)
  lantorvix_warnings(lantorvix_xvfb)
endif()
