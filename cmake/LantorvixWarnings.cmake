# lantorvix_warnings(<target>): the project's warning set, errors when LANTORVIX_WERROR is on.
function(lantorvix_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
  if(LANTORVIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
