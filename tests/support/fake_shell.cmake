# The scriptable Shell fake: unit tests of the main window logic (TForm1).
add_library(lantorvix_fake_shell STATIC ${CMAKE_CURRENT_LIST_DIR}/fake_shell.cpp)
target_link_libraries(lantorvix_fake_shell PUBLIC lantorvix_app lantorvix_test_support)
lantorvix_warnings(lantorvix_fake_shell)
