; The Windows installer: the installation tree of the cross build under
; Program Files, the App Paths value through which the programs find their
; installation directory, and an uninstaller that takes both away again.
;   makensis -DVERSION=x.y.z -DSOURCE=<build>/bin -DOUTFILE=<setup.exe> zelkor.nsi
; The programs are 64-bit: so is the installer.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef SOURCE
  !error "SOURCE is not defined"
!endif
!ifndef OUTFILE
  !error "OUTFILE is not defined"
!endif

!define APP_PATHS "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Zelkor3.exe"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Zelkor3"

Name "Zelkor ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Zelkor"
InstallDirRegKey HKLM "${APP_PATHS}" "PATH"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Zelkor"
  SetRegView 64
  SetOutPath "$INSTDIR"
  ; The demo's shell scripts serve the Linux build only.
  File /r /x *.sh "${SOURCE}\*.*"
  WriteRegStr HKLM "${APP_PATHS}" "" "$INSTDIR\zelkor.exe"
  WriteRegStr HKLM "${APP_PATHS}" "PATH" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Zelkor"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Korvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd

; Only what the installer put there is removed: a user's settings live in
; their own application data folder and stay.
Section "Uninstall"
  SetRegView 64
  DeleteRegKey HKLM "${APP_PATHS}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  RMDir /r "$INSTDIR\FlashInfo"
  RMDir /r "$INSTDIR\target"
  RMDir /r "$INSTDIR\demo"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.ini"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
