; The per-user installer and uninstaller of Ondrel.
;
; Built by the Windows preset (cmake/installer.cmake), which passes the header
; with the product's name, version and files:
;   makensis -INPUTCHARSET UTF8 -DONDREL_BUILD_NSH=<header> Ondrel.nsi
;
; Ondrel writes its lists and its log beside its program file, so it is
; installed for the current user, into a folder the user owns, without
; administrator rights.
;
; Command line: /S installs silently, /AUTOSTART ticks "start with Windows",
; /D=<folder> (last, unquoted) chooses the folder. The uninstaller takes /S.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written stops the installation; a silent install
; would otherwise skip it and report success.
AllowSkipFiles off

!include "${ONDREL_BUILD_NSH}"
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include StrFunc.nsh
${StrLoc}
${StrStr}

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${ONDREL_PRODUCT_NAME}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\${ONDREL_MAKER}\${ONDREL_PRODUCT_NAME}"
!define UNINSTALLER "Uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\${ONDREL_PRODUCT_NAME}.lnk"
; The class of the hidden window Ondrel keeps from its start until after the
; last save of its lists (src/platform/win32/Win32UiHost.cpp).
!define HOST_WINDOW_CLASS "OndrelHost"
; Held by a running installer or uninstaller, so that a second one stops.
!define SETUP_MUTEX "OndrelSetupMutex"

Name "${ONDREL_PRODUCT_NAME}"
OutFile "${ONDREL_SETUP_FILE}"
BrandingText "${ONDREL_PRODUCT_NAME} ${ONDREL_VERSION}"
InstallDir "$LOCALAPPDATA\Programs\${ONDREL_PRODUCT_NAME}"
; An update goes where the last installation went, beside the user's lists.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${ONDREL_VERSION}"
VIFileVersion "${ONDREL_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${ONDREL_PRODUCT_NAME}"
VIAddVersionKey /LANG=0 "ProductVersion" "${ONDREL_VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${ONDREL_VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${ONDREL_MAKER}"
VIAddVersionKey /LANG=0 "FileDescription" "${ONDREL_PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "${ONDREL_MAKER}"

Var FreshInstall
Var RemoveUserData

; ---- pages -------------------------------------------------------------------
!define MUI_ICON "${ONDREL_ICON}"
!define MUI_UNICON "${ONDREL_ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${ONDREL_EXE_NAME}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

; ---- texts -------------------------------------------------------------------
LangString WelcomeText ${LANG_ENGLISH} "Setup installs ${ONDREL_PRODUCT_NAME} ${ONDREL_VERSION} for you alone, into a folder of your own; it needs no administrator rights.$\r$\n$\r$\nYour lists and settings from an earlier installation are kept.$\r$\n$\r$\n$_CLICK"
LangString WelcomeText ${LANG_GERMAN} "Setup installiert ${ONDREL_PRODUCT_NAME} ${ONDREL_VERSION} nur für Sie, in einen Ordner, der Ihnen gehört; dazu sind keine Administratorrechte nötig.$\r$\n$\r$\nIhre Listen und Einstellungen einer früheren Installation bleiben erhalten.$\r$\n$\r$\n$_CLICK"
LangString SecProgramName ${LANG_ENGLISH} "${ONDREL_PRODUCT_NAME} (required)"
LangString SecProgramName ${LANG_GERMAN} "${ONDREL_PRODUCT_NAME} (erforderlich)"
LangString SecProgramDesc ${LANG_ENGLISH} "The program with its language files, help and icons."
LangString SecProgramDesc ${LANG_GERMAN} "Das Programm mit seinen Sprachdateien, seiner Hilfe und seinen Symbolen."
LangString SecShortcutName ${LANG_ENGLISH} "Start menu shortcut"
LangString SecShortcutName ${LANG_GERMAN} "Verknüpfung im Startmenü"
LangString SecShortcutDesc ${LANG_ENGLISH} "Puts ${ONDREL_PRODUCT_NAME} into the Start menu."
LangString SecShortcutDesc ${LANG_GERMAN} "Legt ${ONDREL_PRODUCT_NAME} im Startmenü ab."
LangString SecAutostartName ${LANG_ENGLISH} "Start with Windows"
LangString SecAutostartName ${LANG_GERMAN} "Mit Windows starten"
LangString SecAutostartDesc ${LANG_ENGLISH} "Starts ${ONDREL_PRODUCT_NAME} each time you log on to Windows."
LangString SecAutostartDesc ${LANG_GERMAN} "Startet ${ONDREL_PRODUCT_NAME} bei jeder Anmeldung an Windows."
LangString MsgSetupRunning ${LANG_ENGLISH} "${ONDREL_PRODUCT_NAME} Setup is already running."
LangString MsgSetupRunning ${LANG_GERMAN} "Das Setup von ${ONDREL_PRODUCT_NAME} läuft bereits."
LangString MsgOndrelRunning ${LANG_ENGLISH} "${ONDREL_PRODUCT_NAME} is running.$\r$\n$\r$\nPlease end it with Exit in its menu in the notification area, so that it saves your lists, then click Retry."
LangString MsgOndrelRunning ${LANG_GERMAN} "${ONDREL_PRODUCT_NAME} läuft gerade.$\r$\n$\r$\nBitte beenden Sie es mit „Beenden“ in seinem Menü im Infobereich, damit es Ihre Listen speichert, und klicken Sie dann auf „Wiederholen“."
LangString MsgCannotWrite ${LANG_ENGLISH} "Setup cannot write to the folder$\r$\n$INSTDIR$\r$\n$\r$\nPlease choose a folder of your own, for example in your user folder. Nothing has been installed."
LangString MsgCannotWrite ${LANG_GERMAN} "Setup kann nicht in den Ordner$\r$\n$INSTDIR$\r$\nschreiben.$\r$\n$\r$\nBitte wählen Sie einen eigenen Ordner, zum Beispiel in Ihrem Benutzerordner. Es wurde nichts installiert."
LangString MsgKeepUserData ${LANG_ENGLISH} "Keep your lists and settings?$\r$\n$\r$\nKept, they stay in $INSTDIR and the registry, and ${ONDREL_PRODUCT_NAME} finds them again when you install it there once more. Click No to remove them as well."
LangString MsgKeepUserData ${LANG_GERMAN} "Ihre Listen und Einstellungen behalten?$\r$\n$\r$\nBehalten bleiben sie in $INSTDIR und in der Registrierung, und ${ONDREL_PRODUCT_NAME} findet sie wieder, wenn Sie es dort erneut installieren. Klicken Sie auf „Nein“, um auch sie zu entfernen."

; ---- shared by installer and uninstaller -----------------------------------------
!macro OndrelFunctions UN
; Only one installer or uninstaller at a time: two would copy and delete the
; same files at once. The mutex is held until the process ends. One that is
; just ending (the uninstaller that handed over to its copy in the temporary
; folder, an installer that has just finished) is given five seconds.
Function ${UN}TakeSetupMutex
  StrCpy $2 0
  ${Do}
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${SETUP_MUTEX}") p .r0 ?e'
    Pop $1
    ${If} $1 <> 183 ; ERROR_ALREADY_EXISTS
      Return
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    IntOp $2 $2 + 1
    ${If} $2 >= 20
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(MsgSetupRunning)" /SD IDOK
      Abort
    ${EndIf}
    Sleep 250
  ${Loop}
FunctionEnd

; Sets $0 to 1 when an Ondrel runs. Its hidden window tells of a copy in any
; folder. The copy in this folder is also told by its program file, which
; cannot be opened for writing while it runs, also when the window cannot
; be found.
Function ${UN}OndrelRuns
  FindWindow $0 "${HOST_WINDOW_CLASS}"
  ${If} $0 <> 0
    StrCpy $0 1
  ${ElseIf} ${FileExists} "$INSTDIR\${ONDREL_EXE_NAME}"
    ClearErrors
    FileOpen $1 "$INSTDIR\${ONDREL_EXE_NAME}" a
    ${If} ${Errors}
      StrCpy $0 1
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
FunctionEnd

; Sets $0 to 1 once Ondrel is not running, to 0 when the user gives up.
; Ondrel saves its lists for the last time as it ends, so it is never ended
; from here: the user ends it and says so. A silent run gives up at once.
Function ${UN}WaitForOndrelToEnd
  ${Do}
    Call ${UN}OndrelRuns
    ${If} $0 = 0
      StrCpy $0 1
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(MsgOndrelRunning)" /SD IDCANCEL IDRETRY retry
    StrCpy $0 0
    Return
  retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro OndrelFunctions ""
!insertmacro OndrelFunctions "un."

; ---- installer -------------------------------------------------------------------
; Sets $0 to 1 when files can be created in $INSTDIR. Creates the folder on
; the way, and removes it again when it made it and cannot write there.
Function ProbeInstallDir
  StrCpy $0 0
  StrCpy $1 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $1 1
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $2 "$INSTDIR\~setup.tmp" w
  ${IfNot} ${Errors}
    FileClose $2
    Delete "$INSTDIR\~setup.tmp"
    StrCpy $0 1
  ${ElseIf} $1 = 1
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

; The folder is tried before the user goes on, so that another can be chosen.
Function DirectoryLeave
  Call ProbeInstallDir
  ${If} $0 <> 1
    MessageBox MB_OK|MB_ICONSTOP "$(MsgCannotWrite)"
    Abort
  ${EndIf}
FunctionEnd

Section "$(SecProgramName)" SecProgram
  SectionIn RO
  Call WaitForOndrelToEnd
  ${If} $0 <> 1
    Abort
  ${EndIf}
  Call ProbeInstallDir
  ${If} $0 <> 1
    MessageBox MB_OK|MB_ICONSTOP "$(MsgCannotWrite)" /SD IDOK
    Abort
  ${EndIf}
  ; Only a first installation is taken back when it fails; an update never
  ; deletes what the user had.
  ${IfNot} ${FileExists} "$INSTDIR\${ONDREL_EXE_NAME}"
    StrCpy $FreshInstall 1
  ${EndIf}

  ; The user's lists and log beside the program are never written here.
  SetOutPath "$INSTDIR"
  !insertmacro OndrelInstallFiles
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; Registered last, so that a failed installation never shows in the list
  ; of installed programs.
  SectionGetSize ${SecProgram} $0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${ONDREL_PRODUCT_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${ONDREL_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${ONDREL_MAKER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${ONDREL_EXE_NAME},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "$(SecShortcutName)" SecShortcut
  SetOutPath "$INSTDIR"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${ONDREL_EXE_NAME}"
SectionEnd

; The same value as the options window writes: the program's full path, in
; double quotes when it holds a blank. Left alone when not ticked, so that an
; update keeps the user's own choice.
Section /o "$(SecAutostartName)" SecAutostart
  StrCpy $0 "$INSTDIR\${ONDREL_EXE_NAME}"
  ${StrLoc} $1 $0 " " ">"
  ${If} $1 != ""
    StrCpy $0 '"$0"'
  ${EndIf}
  WriteRegStr HKCU "${RUN_KEY}" "${ONDREL_PRODUCT_NAME}" $0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "$(SecProgramDesc)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecShortcut} "$(SecShortcutDesc)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "$(SecAutostartDesc)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; NSIS quietly puts its default in place of a /D= folder it cannot use (a
; path through a file, a drive that does not exist) and ignores one written
; in quotes; a silent install would then succeed in a folder nobody chose.
; So the folder is taken as written on the command line, and the program
; section tries it like any other.
Function TakeFolderOfCommandLine
  System::Call 'kernel32::GetCommandLineW() w .r0'
  ${StrStr} $1 $0 "/D="
  StrCpy $1 $1 "" 3
  StrCpy $2 $1 1 -1
  ${If} $2 == '"'
    StrCpy $1 $1 -1
  ${EndIf}
  StrCpy $2 $1 1 -1
  StrCpy $3 $1 1 -2
  ${If} $2 == "\"
  ${AndIf} $3 != ":"
    StrCpy $1 $1 -1
  ${EndIf}
  ${If} $1 != ""
    StrCpy $INSTDIR $1
  ${EndIf}
FunctionEnd

Function .onInit
  Call TakeSetupMutex
  Call TakeFolderOfCommandLine
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function .onInstFailed
  ${If} $FreshInstall = 1
    !insertmacro OndrelRemoveFiles
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

; ---- uninstaller -------------------------------------------------------------------
Function un.onInit
  Call un.TakeSetupMutex
FunctionEnd

Section "Uninstall"
  Call un.WaitForOndrelToEnd
  ${If} $0 <> 1
    Abort
  ${EndIf}
  StrCpy $RemoveUserData 0
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 "$(MsgKeepUserData)" /SD IDYES IDYES +2
  StrCpy $RemoveUserData 1

  !insertmacro OndrelRemoveFiles
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "${SHORTCUT}"
  ; Another copy of Ondrel may be the one that starts with Windows.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${ONDREL_PRODUCT_NAME}"
  ${If} $0 == "$INSTDIR\${ONDREL_EXE_NAME}"
  ${OrIf} $0 == '"$INSTDIR\${ONDREL_EXE_NAME}"'
    DeleteRegValue HKCU "${RUN_KEY}" "${ONDREL_PRODUCT_NAME}"
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ${If} $RemoveUserData = 1
    Delete "$INSTDIR\allowit.ppe"
    Delete "$INSTDIR\closeit.ppe"
    Delete "$INSTDIR\closed.ppe"
    Delete "$INSTDIR\browsed.ppe"
    ; left by a save that was cut short
    Delete "$INSTDIR\*.ppe.tmp"
    Delete "$INSTDIR\${ONDREL_PRODUCT_NAME}.LOG"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\${ONDREL_MAKER}"
  ${EndIf}
  ; Never the whole folder: it may hold the user's own files.
  RMDir "$INSTDIR"
SectionEnd
