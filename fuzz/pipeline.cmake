# The scanner pipeline through TForm1 over the test fakes; the fuzz build has no test tree,
# so the fakes' sources are compiled in here.
lantorvix_fuzzer(fuzz_scanner_pipeline
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scanner_pipeline_fuzzer.cpp
          ${PROJECT_SOURCE_DIR}/tests/support/fake_shell.cpp
          ${PROJECT_SOURCE_DIR}/tests/support/fake_comm_device.cpp
          ${PROJECT_SOURCE_DIR}/tests/support/recording_keyboard.cpp
  LIBS lantorvix_app)
