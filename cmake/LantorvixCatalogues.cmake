# Message catalogues: GNU gettext .po sources compiled to .mo by msgfmt at build time.
include_guard(GLOBAL)

# msgfmt runs on the build machine, also in a cross build.
find_program(LANTORVIX_MSGFMT msgfmt REQUIRED NO_CMAKE_FIND_ROOT_PATH)

# lantorvix_compile_catalogue(<po> <mo> [BIG_ENDIAN])
# A build rule that checks <po> and compiles it to <mo> (little-endian unless BIG_ENDIAN).
# The caller makes a target depend on <mo>.
function(lantorvix_compile_catalogue po mo)
  cmake_parse_arguments(C "BIG_ENDIAN" "" "" ${ARGN})
  set(order little)
  if(C_BIG_ENDIAN)
    set(order big)
  endif()
  get_filename_component(mo_dir ${mo} DIRECTORY)
  add_custom_command(OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${mo_dir}
    COMMAND ${LANTORVIX_MSGFMT} --check --endianness=${order} -o ${mo} ${po}
    DEPENDS ${po}
    COMMENT "msgfmt ${po}"
    VERBATIM)
endfunction()

# lantorvix_add_catalogues(<target>)
# Compiles the shipped catalogues locale/<lang>/<domain>.po to
# <target's runtime output directory>/locale/<lang>/LC_MESSAGES/<domain>.mo, where the
# translation layer looks for them, and makes <target> depend on them. Call it after the
# target's RUNTIME_OUTPUT_DIRECTORY (if any) is set. Targets sharing an output directory
# share the catalogues.
function(lantorvix_add_catalogues target)
  get_target_property(out ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT out)
    if(CMAKE_RUNTIME_OUTPUT_DIRECTORY)
      set(out ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    else()
      get_target_property(out ${target} BINARY_DIR)
    endif()
  endif()
  string(MD5 key "${out}")
  get_property(existing GLOBAL PROPERTY LANTORVIX_CATALOGUES_${key})
  if(existing)
    add_dependencies(${target} ${existing})
    return()
  endif()

  file(GLOB po_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/locale/*/*.po)
  set(mo_files)
  foreach(po ${po_files})
    get_filename_component(lang_dir ${po} DIRECTORY)
    get_filename_component(lang ${lang_dir} NAME)
    get_filename_component(domain ${po} NAME_WE)
    set(mo ${out}/locale/${lang}/LC_MESSAGES/${domain}.mo)
    lantorvix_compile_catalogue(${po} ${mo})
    list(APPEND mo_files ${mo})
  endforeach()
  add_custom_target(${target}_catalogues ALL DEPENDS ${mo_files})
  add_dependencies(${target} ${target}_catalogues)
  set_property(GLOBAL PROPERTY LANTORVIX_CATALOGUES_${key} ${target}_catalogues)
endfunction()
