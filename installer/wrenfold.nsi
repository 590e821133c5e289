; The Windows installer of Wrenfold, built by scripts/release with makensis.
; makensis -DVERSION=2.0.1 -DPROGRAM=path\wrenfold.exe -DICON=path\wrenfold.ico
;          -DOUTFILE=path\Wrenfold-Setup-2.0.1-x64.exe wrenfold.nsi
;
; Silent installs answer /S and /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS
; /RESTARTAPP=1, the switches the program's update step passes. /CLOSEWAIT=SECONDS bounds the
; wait for running windows (60 seconds unless given). Exit codes: 0 installed, 2 failed.

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Wrenfold"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Wrenfold"
!define PROGID "Wrenfold.txt"
!define APPLICATION_KEY "Software\Classes\Applications\wrenfold.exe"
!define DEFAULT_CLOSE_WAIT 60

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the installed copy is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PRODUCT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\wrenfold.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Wrenfold"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var CloseWait
Var RestartApp

; Reads the switches that NSIS itself does not know.
!macro READ_SWITCHES
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/VERYSILENT" $R1
  ${IfNot} ${Errors}
    SetSilent silent
  ${EndIf}
  StrCpy $CloseWait ${DEFAULT_CLOSE_WAIT}
  ClearErrors
  ${GetOptions} $R0 "/CLOSEWAIT=" $R1
  ${IfNot} ${Errors}
    IntOp $CloseWait $R1 + 0
  ${EndIf}
  StrCpy $RestartApp 0
  ClearErrors
  ${GetOptions} $R0 "/RESTARTAPP=" $R1
  ${IfNot} ${Errors}
    StrCpy $RestartApp $R1
  ${EndIf}
  SetShellVarContext all
  SetRegView 64
!macroend

; Every running window of the program holds the named mutex. A silent run waits for it to go
; for a bounded time, an interactive one asks; when it stays, the run ends before anything is
; written. Nothing is ever killed.
!macro WAIT_FOR_PROGRAM_EXIT prefix
Function ${prefix}WaitForProgramExit
  IntOp $R2 $CloseWait * 4
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Wrenfold.Running") p .R3'
    ${If} $R3 == 0
      Return
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p R3)'
    ${If} ${Silent}
      ${If} $R2 <= 0
        SetErrorLevel 2
        Quit
      ${EndIf}
      IntOp $R2 $R2 - 1
      Sleep 250
    ${Else}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Wrenfold is still running. Close every Wrenfold window, then select Retry." \
        /SD IDCANCEL IDRETRY +3
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro WAIT_FOR_PROGRAM_EXIT ""
!insertmacro WAIT_FOR_PROGRAM_EXIT "un."

Function .onInit
  !insertmacro READ_SWITCHES
FunctionEnd

Function un.onInit
  !insertmacro READ_SWITCHES
FunctionEnd

Section "Wrenfold"
  Call WaitForProgramExit
  SetOutPath "$INSTDIR"
  ; The new program goes in beside the old one and replaces it by two renames, so a failure
  ; on the way leaves the installed program as it was.
  Delete "$INSTDIR\wrenfold.exe.new"
  ClearErrors
  File "/oname=wrenfold.exe.new" "${PROGRAM}"
  ${If} ${Errors}
    Goto failed
  ${EndIf}
  Delete "$INSTDIR\wrenfold.exe.old"
  ${If} ${FileExists} "$INSTDIR\wrenfold.exe"
    Rename "$INSTDIR\wrenfold.exe" "$INSTDIR\wrenfold.exe.old"
    ${If} ${Errors}
      Delete "$INSTDIR\wrenfold.exe.new"
      Goto failed
    ${EndIf}
  ${EndIf}
  Rename "$INSTDIR\wrenfold.exe.new" "$INSTDIR\wrenfold.exe"
  ${If} ${Errors}
    Rename "$INSTDIR\wrenfold.exe.old" "$INSTDIR\wrenfold.exe"
    Delete "$INSTDIR\wrenfold.exe.new"
    Goto failed
  ${EndIf}
  Delete "$INSTDIR\wrenfold.exe.old"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Wrenfold.lnk" "$INSTDIR\wrenfold.exe" "" "$INSTDIR\wrenfold.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\wrenfold.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; "Open with" for text files; the user's default program for .txt stays as it is.
  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".txt" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\DefaultIcon" "" "$INSTDIR\wrenfold.exe,0"
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\wrenfold.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Text Document"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\wrenfold.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\wrenfold.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\.txt\OpenWithProgids" "${PROGID}" ""
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  Return

failed:
  SetErrorLevel 2
  ${If} ${Silent}
    Quit
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "Wrenfold couldn't be installed in $INSTDIR. The installed program was left as it was." /SD IDOK
  Abort
SectionEnd

Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} $RestartApp == 1
    Exec '"$INSTDIR\wrenfold.exe"'
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.WaitForProgramExit
  Delete "$INSTDIR\wrenfold.exe"
  Delete "$INSTDIR\wrenfold.exe.new"
  Delete "$INSTDIR\wrenfold.exe.old"
  ; The uninstaller runs from a copy of itself; the original may take a moment to let go.
  StrCpy $R4 0
  ${Do}
    ClearErrors
    Delete "$INSTDIR\uninstall.exe"
    ${IfNot} ${Errors}
    ${OrIf} $R4 >= 50
      ${Break}
    ${EndIf}
    IntOp $R4 $R4 + 1
    Sleep 100
  ${Loop}
  ; Only an empty folder goes: anything the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Wrenfold.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegValue HKLM "Software\Classes\.txt\OpenWithProgids" "${PROGID}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
