# A stand-in for KDE Plasma's keyboard service on a private session bus.
if(NOT WIN32)
  add_library(lantorvix_kde_keyboard_service STATIC ${CMAKE_CURRENT_LIST_DIR}/kde_keyboard_service.cpp)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LANTORVIX_KDE_SERVICE_GIO REQUIRED IMPORTED_TARGET gio-2.0)
  find_package(Threads REQUIRED)
  target_link_libraries(lantorvix_kde_keyboard_service PUBLIC lantorvix_test_support
    PRIVATE PkgConfig::LANTORVIX_KDE_SERVICE_GIO Threads::Threads)
  lantorvix_warnings(lantorvix_kde_keyboard_service)
endif()
