# The recording KeyboardPlatform fake: unit tests of the key-sequence language and of
# everything that types (the scanner input).
add_library(lantorvix_recording_keyboard STATIC ${CMAKE_CURRENT_LIST_DIR}/recording_keyboard.cpp)
target_link_libraries(lantorvix_recording_keyboard PUBLIC lantorvix_keys lantorvix_test_support)
lantorvix_warnings(lantorvix_recording_keyboard)
