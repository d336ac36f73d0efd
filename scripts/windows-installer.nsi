; The per-user installer of quenvor.exe and quenvor-cli.exe: no administrator rights, a Start-menu entry and an
; uninstaller, both for the current user only. makensis -DSTAGE=<folder> -DVERSION=<x.y.z> -DOUT=<exe>
Unicode true
; A 64-bit installer for a 64-bit program (and Wine without its 32-bit part runs it too).
Target amd64-unicode
RequestExecutionLevel user
Name "Quenvor"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\Quenvor"
SetCompressor /SOLID lzma
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenvor"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Quenvor"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\quenvor.exe"
  File "${STAGE}\quenvor-cli.exe"
  SetOutPath "$INSTDIR\help"
  File "${STAGE}\help\quenvor.htm"
  File "${STAGE}\help\quenvor-es.htm"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quenvor.lnk" "$INSTDIR\quenvor.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quenvor"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Quenvor developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quenvor.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Quenvor.lnk"
  Delete "$INSTDIR\help\quenvor.htm"
  Delete "$INSTDIR\help\quenvor-es.htm"
  RMDir "$INSTDIR\help"
  Delete "$INSTDIR\quenvor.exe"
  Delete "$INSTDIR\quenvor-cli.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
