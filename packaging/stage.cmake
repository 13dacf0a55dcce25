# cmake -DEXE=<Lantorvix.exe> -DSTAGE=<folder> -P stage.cmake
# Lays out the program folder: Lantorvix.exe and, when the build made them, its catalogues.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${EXE} DESTINATION ${STAGE})
get_filename_component(exe_dir ${EXE} DIRECTORY)
if(IS_DIRECTORY ${exe_dir}/locale)
  file(COPY ${exe_dir}/locale DESTINATION ${STAGE} FILES_MATCHING PATTERN "*.mo")
endif()
