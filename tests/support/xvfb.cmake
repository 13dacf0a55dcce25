# A private Xvfb server per test (X11 and Qt window tests).
if(NOT WIN32)
  add_library(lantorvix_xvfb STATIC ${CMAKE_CURRENT_LIST_DIR}/xvfb_server.cpp)
  target_link_libraries(lantorvix_xvfb PUBLIC lantorvix_test_support)
  lantorvix_warnings(lantorvix_xvfb)
endif()
