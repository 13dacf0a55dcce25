# LD_PRELOAD shim that answers TIOCMGET on pseudo-terminals with every line off (Wine tests).
if(NOT WIN32)
  add_library(lantorvix_tiocmget_shim SHARED ${CMAKE_CURRENT_LIST_DIR}/tiocmget-shim.c)
  target_link_libraries(lantorvix_tiocmget_shim PRIVATE ${CMAKE_DL_LIBS})
  set_target_properties(lantorvix_tiocmget_shim PROPERTIES C_VISIBILITY_PRESET default PREFIX "lib")
  # C: the project's set minus the C++-only -Wnon-virtual-dtor.
  target_compile_options(lantorvix_tiocmget_shim PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(LANTORVIX_WERROR)
    target_compile_options(lantorvix_tiocmget_shim PRIVATE -Werror)
  endif()
endif()
