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

; English, and Spanish for a Windows in Spanish (the first language is the fallback).
LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Spanish.nlf"
LangString QuenvorRunning ${LANG_ENGLISH} "Quenvor is running, or its program file is in use.$\r$\n$\r$\nClose Quenvor, then click Retry. Cancel leaves Quenvor as it is."
LangString QuenvorRunning ${LANG_SPANISH} "Quenvor se está ejecutando, o su archivo de programa está en uso.$\r$\n$\r$\nCierre Quenvor y haga clic en Reintentar. Cancelar deja Quenvor como está."
LangString QuenvorLeft ${LANG_ENGLISH} "Quenvor was left as it is: it is still running."
LangString QuenvorLeft ${LANG_SPANISH} "Quenvor se ha dejado como estaba: todavía se está ejecutando."

; A running quenvor.exe can be neither replaced nor removed. The installer asks before it writes
; anything: opening the program for writing, which changes nothing, fails while it runs. The
; uninstaller removes the program before anything else, so the Start-menu entry and the entry in
; Settings, Apps stay for as long as there is a program to remove. A silent run answers Cancel.
Function WaitUntilQuenvorCloses
  retry:
    IfFileExists "$INSTDIR\quenvor.exe" 0 closed
    ClearErrors
    FileOpen $0 "$INSTDIR\quenvor.exe" a
    IfErrors running
    FileClose $0
    Goto closed
  running:
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(QuenvorRunning)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort "$(QuenvorLeft)"
  closed:
FunctionEnd

Function un.RemoveQuenvorFirst
  retry:
    ClearErrors
    Delete "$INSTDIR\quenvor.exe"
    IfErrors 0 removed
    IfFileExists "$INSTDIR\quenvor.exe" 0 removed
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(QuenvorRunning)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort "$(QuenvorLeft)"
  removed:
FunctionEnd

Section "Quenvor"
  SetShellVarContext current
  Call WaitUntilQuenvorCloses
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
  Call un.RemoveQuenvorFirst
  Delete "$SMPROGRAMS\Quenvor.lnk"
  Delete "$INSTDIR\help\quenvor.htm"
  Delete "$INSTDIR\help\quenvor-es.htm"
  RMDir "$INSTDIR\help"
  Delete "$INSTDIR\quenvor-cli.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
