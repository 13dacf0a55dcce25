; Installer of Lantorvix for makensis (NSIS 3, Unicode).
; Defines passed by the build: VERSION (1.2.3), ARCH (x64 | x86), STAGE (folder holding
; Lantorvix.exe and locale/), ICON (the program icon), OUTFILE (installer path).
; Silent use: Setup.exe /S [/AUTOSTART=1] [/D=C:\target]; the autostart section can also be
; chosen on the components page.

Unicode true
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef ARCH
  !error "ARCH is not defined"
!endif
!ifndef STAGE
  !error "STAGE is not defined"
!endif
!ifndef OUTFILE
  !error "OUTFILE is not defined"
!endif
!ifndef ICON
  !error "ICON is not defined"
!endif

; A 64-bit program gets a 64-bit installer (it also runs where no 32-bit subsystem is).
!if ${ARCH} == "x64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif

!define APP "Lantorvix"
!define RUNKEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
; The autostart value lives in the machine-wide hive, and the program files under Program Files.
RequestExecutionLevel admin
!if ${ARCH} == "x64"
  InstallDir "$PROGRAMFILES64\${APP}"
!else
  InstallDir "$PROGRAMFILES\${APP}"
!endif
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${APP}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${APP} installer"
VIAddVersionKey /LANG=0 "LegalCopyright" "${APP}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Hungarian"
!insertmacro MUI_LANGUAGE "English"

Section "Lantorvix" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}/Lantorvix.exe"
  File /nonfatal /r "${STAGE}/locale"
  ; Started at log-on the working directory is not this folder: the program then uses the
  ; settings file beside itself, which ordinary users must be able to write.
  ${IfNot} ${FileExists} "$INSTDIR\Lantorvix.ini"
    FileOpen $0 "$INSTDIR\Lantorvix.ini" w
    FileWrite $0 "[PORT]$\r$\nPortNum=NINCS$\r$\n"
    FileClose $0
  ${EndIf}
  nsExec::Exec 'icacls "$INSTDIR\Lantorvix.ini" /grant *S-1-5-32-545:M'
  Pop $0
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${APP}"
  CreateShortcut "$SMPROGRAMS\${APP}\${APP}.lnk" "$INSTDIR\Lantorvix.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${APP}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "${APP}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\Lantorvix.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

; The same value the program's "Bekapcsoláskor indul" writes: named after the program, the
; full path of the executable, no quotes.
Section /o "Indítás bejelentkezéskor" SecAutostart
  WriteRegStr HKLM "${RUNKEY}" "${APP}" "$INSTDIR\Lantorvix.exe"
SectionEnd

Section "Uninstall"
  ; Only our own autostart entry goes.
  ReadRegStr $0 HKLM "${RUNKEY}" "${APP}"
  ${If} $0 == "$INSTDIR\Lantorvix.exe"
    DeleteRegValue HKLM "${RUNKEY}" "${APP}"
  ${EndIf}
  Delete "$INSTDIR\Lantorvix.exe"
  RMDir /r "$INSTDIR\locale"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\${APP}\${APP}.lnk"
  RMDir "$SMPROGRAMS\${APP}"
  ; The settings file stays unless the folder is otherwise empty of user data.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd

; After the sections: .onInit refers to their indices.
Function .onInit
  ${If} ${ARCH} == "x64"
    ${IfNot} ${RunningX64}
      MessageBox MB_OK|MB_ICONSTOP "A program 64 bites Windowst igényel."
      Abort
    ${EndIf}
    SetRegView 64
  ${EndIf}
  ; /AUTOSTART=1 on the command line selects the autostart section (for silent installs).
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "1"
      SectionSetFlags ${SecAutostart} ${SF_SELECTED}
    ${Else}
      SectionSetFlags ${SecAutostart} 0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${ARCH} == "x64"
    SetRegView 64
  ${EndIf}
FunctionEnd
