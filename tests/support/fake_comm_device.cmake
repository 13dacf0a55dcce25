# Scriptable CommDevice for the serial port's unit tests.
add_library(lantorvix_fake_comm_device STATIC ${CMAKE_CURRENT_LIST_DIR}/fake_comm_device.cpp)
target_include_directories(lantorvix_fake_comm_device PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(lantorvix_fake_comm_device PUBLIC lantorvix_serial)
lantorvix_warnings(lantorvix_fake_comm_device)
