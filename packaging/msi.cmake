# cmake -DWXS=<lantorvix.wxs> -DSTAGE=<program folder> -DICON=<ico> -DVERSION=<1.2.3>
#       -DARCH=<x64|x86> -DWORK=<scratch folder> -DOUT=<msi> -P msi.cmake
# Builds the Windows Installer package with wixl (msitools) from the laid-out program folder.
# wixl reads sources only by paths relative to where it runs, hence the copy into WORK.
foreach(var WXS STAGE ICON VERSION ARCH WORK OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
find_program(WIXL wixl REQUIRED)
find_program(WIXL_HEAT wixl-heat REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${STAGE}/ DESTINATION ${WORK}/Lantorvix)
file(COPY_FILE ${ICON} ${WORK}/lantorvix.ico)
# The first settings file, as the NSIS installer writes it: no port chosen yet.
file(WRITE ${WORK}/Lantorvix.ini "[PORT]\r\nPortNum=NINCS\r\n")

if(ARCH STREQUAL "x64")
  set(win64 yes)
  set(settings_attributes 400) # 64-bit, never overwritten, permanent
else()
  set(win64 no)
  set(settings_attributes 144) # never overwritten, permanent
endif()

# The catalogues, whichever languages the build made.
file(GLOB_RECURSE catalogues RELATIVE ${WORK}/Lantorvix ${WORK}/Lantorvix/locale/*)
list(JOIN catalogues "\n" catalogue_list)
file(WRITE ${WORK}/catalogues.txt "${catalogue_list}\n")
set(heat_args --directory-ref INSTALLDIR --var var.Stage --component-group Catalogues --prefix=)
if(win64)
  list(APPEND heat_args --win64)
endif()
execute_process(COMMAND ${WIXL_HEAT} ${heat_args}
  WORKING_DIRECTORY ${WORK}/Lantorvix
  INPUT_FILE ${WORK}/catalogues.txt
  OUTPUT_FILE ${WORK}/catalogues.wxs
  COMMAND_ERROR_IS_FATAL ANY)

set(msi ${WORK}/Lantorvix.msi)
execute_process(
  COMMAND ${WIXL} -a ${ARCH} -D Version=${VERSION} -D Win64=${win64} -D Stage=Lantorvix
    -D Settings=Lantorvix.ini -D Icon=lantorvix.ico -o ${msi} ${WXS} catalogues.wxs
  WORKING_DIRECTORY ${WORK}
  COMMAND_ERROR_IS_FATAL ANY)

# What wixl cannot say: the settings file is the user's (kept by upgrades and uninstalls), and
# ordinary users may change it (SYSTEM and Administrators full control, Users modify; SDDL,
# which names the groups the same in every language of Windows).
file(WRITE ${WORK}/MsiLockPermissionsEx.idt
  "MsiLockPermissionsEx\tLockObject\tTable\tSDDLText\tCondition\n"
  "s72\ts72\ts32\ts0\tS255\n"
  "MsiLockPermissionsEx\tMsiLockPermissionsEx\n"
  "SettingsFile\tLantorvix.ini\tFile\tD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1301bf;;;BU)\t\n")
execute_process(
  COMMAND ${MSIBUILD} ${msi}
    -q "UPDATE Component SET Attributes = ${settings_attributes} WHERE Component = 'Settings'"
    -i MsiLockPermissionsEx.idt
  WORKING_DIRECTORY ${WORK}
  COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${msi} ${OUT})
