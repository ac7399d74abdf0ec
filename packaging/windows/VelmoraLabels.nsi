; The Velmora Labels installer for 64-bit Windows, built on Linux by
; scripts/package-windows.sh with Debian's makensis:
;
;   makensis -DVERSION=1.0.0 -DFILES=<folder with the programs and README.txt>
;            -DICON=<Ferrulin's .ico> -DOUTFILE=<installer .exe> VelmoraLabels.nsi
;
; It asks for RM's data directory, installs the programs into Program Files,
; adds Start-menu shortcuts that start them in the data directory (their
; working directory), offers a shortcut in the Startup folder that starts
; Ferrulin in the notification area ("/MINIMIZED") or, instead, Ferrulin as
; the Windows service VelmoraFerrulin (FerrulinConsole.exe --install-service),
; and registers its uninstaller with Add/Remove Programs. It writes nothing into the data
; directory; the uninstaller removes only what the installer made.
;
;
; Silent install (the data directory must exist; /D comes last, unquoted):
;   VelmoraLabels-1.0.0-win64-setup.exe /S /DATADIR="C:\RM Data" [/NOSTARTUP | /SERVICE] [/D=C:\Program Files\Velmora Labels]
; ("/DATADIR=C:\RM Data", the whole argument quoted, is taken too.) Exit
; codes: 0 installed, 2 stopped (a program file in use: Ferrulin runs),
; 3 the data directory does not exist, 4 /DATADIR is wrong (empty, not a full
; path, a stray quote) or missing where no earlier install names one, 5
; installed but the service did not install or start.
;
; Silent uninstall: "C:\Program Files\Velmora Labels\Uninstall.exe" /S. It
; hands the work to a copy of itself in the temporary folder and returns 0 at
; once (so that it can remove its own file); with _?=<program folder> last it
; works in place and its exit code says how it went: 0 removed (all but
; Uninstall.exe itself), 2 refused because Ferrulin runs (nothing removed).
; Run interactively while Ferrulin runs, it offers to end Ferrulin through
; its own "Exit Ferrulin".

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true
; A program file that cannot be replaced (Ferrulin still running) fails the
; install instead of being skipped, so no install mixes two versions.
AllowSkipFiles off

!ifndef VERSION
  !error "define VERSION, FILES, ICON and OUTFILE (see the head of this file)"
!endif
!ifndef FILES
  !error "define VERSION, FILES, ICON and OUTFILE (see the head of this file)"
!endif
!ifndef OUTFILE
  !error "define VERSION, FILES, ICON and OUTFILE (see the head of this file)"
!endif
!ifndef ICON
  !error "define VERSION, FILES, ICON and OUTFILE (see the head of this file)"
!endif

!define PRODUCT "Velmora Labels"
!define PUBLISHER "Velmora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VelmoraLabels"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

Var DataDir
Var ServiceChosen ; 1 while the service section is chosen (.onSelChange)

; The window class of Ferrulin.exe's main window and the command of its tray
; menu's "Exit Ferrulin" (src/spooler/win: FerrulinWindow, FerrulinTray).
!define FERRULIN_WINDOW_CLASS "VelmoraFerrulinWindow"
!define FERRULIN_EXIT_COMMAND 1001

!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY

; A second directory page: RM's data directory, the programs' working folder.
!define MUI_PAGE_HEADER_TEXT "RM's Data Directory"
!define MUI_PAGE_HEADER_SUBTEXT "The folder in which Ferrulin and Dovetack work."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Ferrulin and Dovetack run in RM's data directory, the folder that holds RMSpool.DBF and a folder for each of RM's printers. The Start-menu shortcuts start them there.$\r$\n$\r$\nSetup writes nothing into this folder."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "RM's data directory"
!define MUI_DIRECTORYPAGE_VARIABLE $DataDir
!define MUI_DIRECTORYPAGE_VERIFYONLEAVE
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DataDirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES

!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed.$\r$\n$\r$\nStart Ferrulin from the Start menu (${PRODUCT}), or log in again when it starts with Windows. Without printers configured yet, start Dovetack first and choose $\"Save && Activate$\"."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; The folder without a trailing backslash (a drive root keeps its own).
!macro TrimBackslash VAR
  ${If} "${VAR}" != ""
  ${AndIf} "${VAR}" != "\"
    StrCpy $R9 "${VAR}" 1 -1
    StrCpy $R8 "${VAR}" "" -2
    ${If} $R9 == "\"
    ${AndIf} $R8 != ":\"
      StrCpy ${VAR} "${VAR}" -1
    ${EndIf}
  ${EndIf}
!macroend

Section "Ferrulin and Dovetack (required)" SecPrograms
  SectionIn RO
  ; An earlier install's service is stopped (its folders released) and
  ; removed, so that its program file can be replaced; the service section
  ; installs it again when it is chosen this time.
  ${If} ${FileExists} "$INSTDIR\FerrulinConsole.exe"
    ExecWait '"$INSTDIR\FerrulinConsole.exe" --uninstall-service' $0
  ${EndIf}
  ; The outermost folder of the program folder that this install makes, if
  ; any: the uninstaller removes it too when it is empty. An upgrade into the
  ; same folder makes none and keeps what the first install noted.
  Call FirstMissingFolder
  ${If} $R0 != ""
    WriteRegStr HKLM "${UNINSTALL_KEY}" "CreatedFolder" "$R0"
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${FILES}\Ferrulin.exe"
!ifdef HAVE_DOVETACK
  File "${FILES}\Dovetack.exe"
!endif
  File "${FILES}\FerrulinConsole.exe"
  File "${FILES}\hostsim.exe"
  File "${FILES}\README.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; A shortcut's working directory is the output folder when it is made.
  CreateDirectory "${MENU_FOLDER}"
  SetOutPath "$DataDir"
  CreateShortcut "${MENU_FOLDER}\Ferrulin.lnk" "$INSTDIR\Ferrulin.exe" "" \
    "$INSTDIR\Ferrulin.exe" 0 SW_SHOWNORMAL "" "The label spooler for RM"
!ifdef HAVE_DOVETACK
  CreateShortcut "${MENU_FOLDER}\Dovetack.lnk" "$INSTDIR\Dovetack.exe" "" \
    "$INSTDIR\Dovetack.exe" 0 SW_SHOWNORMAL "" "Printers, label design and RM's label setup"
!endif
  SetOutPath "$INSTDIR"
  CreateShortcut "${MENU_FOLDER}\Read Me.lnk" "$INSTDIR\README.txt"
  CreateShortcut "${MENU_FOLDER}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"
  ; An earlier install's Startup shortcut; the next section makes it again
  ; when it is chosen this time.
  Delete "$SMSTARTUP\Ferrulin.lnk"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Ferrulin.exe,0"
  ; The data directory chosen, proposed again by the next install.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DataDirectory" "$DataDir"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; One spooler for the data directory: at log-on (the Startup shortcut) or
; as a service, never both (.onSelChange).
Section "Start Ferrulin when a user logs in" SecStartup
  SetOutPath "$DataDir"
  CreateShortcut "$SMSTARTUP\Ferrulin.lnk" "$INSTDIR\Ferrulin.exe" "/MINIMIZED" \
    "$INSTDIR\Ferrulin.exe" 0 SW_SHOWMINIMIZED "" "The label spooler for RM, in the notification area"
  SetOutPath "$INSTDIR"
SectionEnd

Section /o "Run Ferrulin as a Windows service (no one needs to log in)" SecService
  ExecWait '"$INSTDIR\FerrulinConsole.exe" --install-service "$DataDir"' $0
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "The service VelmoraFerrulin did not install or start (FerrulinConsole exit code $0). The programs are installed; its daily log in $\"$DataDir\VelmoraLogs$\" says more." \
      /SD IDOK
    SetErrorLevel 5
  ${EndIf}
SectionEnd

; The one just chosen of the two wins: the other is unchosen.
Function .onSelChange
  ${If} ${SectionIsSelected} ${SecService}
  ${AndIf} ${SectionIsSelected} ${SecStartup}
    ${If} $ServiceChosen == 1
      !insertmacro UnselectSection ${SecService}
    ${Else}
      !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
  ${EndIf}
  Call NoteServiceChoice
FunctionEnd

Function NoteServiceChoice
  StrCpy $ServiceChosen 0
  ${If} ${SectionIsSelected} ${SecService}
    StrCpy $ServiceChosen 1
  ${EndIf}
FunctionEnd

; $R0: the outermost folder of $INSTDIR that does not exist yet, or "".
Function FirstMissingFolder
  StrCpy $R0 ""
  StrCpy $R1 $INSTDIR
  ${DoUntil} $R1 == ""
    ${If} ${FileExists} "$R1\*.*"
      ${Break}
    ${EndIf}
    StrCpy $R0 $R1
    ${GetParent} $R1 $R1
  ${Loop}
FunctionEnd

; The /DATADIR option of the command line $R0, in either quoting:
; /DATADIR="C:\RM Data" (the value quoted) or "/DATADIR=C:\RM Data" (the whole
; argument, as deployment tools quote one). $R1 its value; $R2 "absent",
; "bad" (empty, not a full path, a quote left over) or "" when it is sound.
Function DataDirOption
  StrCpy $R2 ""
  ClearErrors
  ${GetOptions} $R0 "/DATADIR=" $R1
  ${If} ${Errors}
    ; The whole argument quoted: from '"/DATADIR=' to the next quote.
    StrLen $R3 $R0
    StrCpy $R4 0
    StrCpy $R2 "absent"
    ${DoWhile} $R4 < $R3
      StrCpy $R5 $R0 10 $R4
      ${If} $R5 == '"/DATADIR='
        IntOp $R4 $R4 + 10
        StrCpy $R1 $R0 "" $R4
        StrCpy $R2 "bad" ; until its closing quote is found
        StrLen $R3 $R1
        StrCpy $R4 0
        ${DoWhile} $R4 < $R3
          StrCpy $R5 $R1 1 $R4
          ${If} $R5 == '"'
            StrCpy $R1 $R1 $R4
            StrCpy $R2 ""
            ${Break}
          ${EndIf}
          IntOp $R4 $R4 + 1
        ${Loop}
        ${Break}
      ${EndIf}
      IntOp $R4 $R4 + 1
    ${Loop}
    ${If} $R2 != ""
      Return
    ${EndIf}
  ${EndIf}
  ; A full path: a drive ("C:\...") or a share ("\\server\...").
  StrCpy $R3 $R1 2 1
  StrCpy $R4 $R1 2
  ${If} $R3 != ":\"
  ${AndIf} $R4 != "\\"
    StrCpy $R2 "bad"
  ${EndIf}
  ; No quote inside (a value quoted twice, or an unbalanced quote).
  StrLen $R3 $R1
  StrCpy $R4 0
  ${DoWhile} $R4 < $R3
    StrCpy $R5 $R1 1 $R4
    ${If} $R5 == '"'
      StrCpy $R2 "bad"
    ${EndIf}
    IntOp $R4 $R4 + 1
  ${Loop}
FunctionEnd

Function .onInit
  ; Shortcuts for every user of the machine, as the programs are.
  SetShellVarContext all
  ReadRegStr $DataDir HKLM "${UNINSTALL_KEY}" "DataDirectory"
  ${GetParameters} $R0
  Call DataDirOption
  ${If} $R2 == "bad"
  ${AndIf} ${Silent}
    ; A silent install cannot ask: the option must name a folder in full.
    SetErrorLevel 4
    Quit
  ${EndIf}
  ${If} $R2 != "absent"
    StrCpy $DataDir $R1
  ${EndIf}
  !insertmacro TrimBackslash $DataDir
  ClearErrors
  ${GetOptions} $R0 "/NOSTARTUP" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecStartup}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/SERVICE" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecStartup}
    !insertmacro SelectSection ${SecService}
  ${EndIf}
  Call NoteServiceChoice
  ${If} ${Silent}
    ${If} $DataDir == ""
      ; No /DATADIR, and no earlier install to take it from.
      SetErrorLevel 4
      Quit
    ${EndIf}
    ${IfNot} ${FileExists} "$DataDir\*.*"
      ; A silent install cannot ask: it needs an existing data directory.
      SetErrorLevel 3
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function DataDirectoryLeave
  !insertmacro TrimBackslash $DataDir
  ${IfNot} ${FileExists} "$DataDir\*.*"
    MessageBox MB_OK|MB_ICONEXCLAMATION "The folder $\"$DataDir$\" does not exist. Choose RM's data directory."
    Abort
  ${EndIf}
  ${IfNot} ${FileExists} "$DataDir\RMSpool.DBF"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "$\"$DataDir$\" holds no RMSpool.DBF, so it does not look like RM's data directory.$\r$\n$\r$\nUse it anyway?" \
      IDYES +2
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  ; Ferrulin's files cannot go while it runs, and a half-removed program must
  ; not go on serving: a silent uninstall refuses, an interactive one offers
  ; to end Ferrulin the way its own "Exit Ferrulin" does (every folder
  ; released), for every running Ferrulin.
  FindWindow $0 "${FERRULIN_WINDOW_CLASS}"
  ${If} $0 != 0
    ${If} ${Silent}
      SetErrorLevel 2
      Quit
    ${EndIf}
    MessageBox MB_YESNO|MB_ICONQUESTION \
      "Ferrulin is running. It has to end before ${PRODUCT} can be removed; its label printers stop being served until it runs again.$\r$\n$\r$\nEnd Ferrulin now?" \
      IDYES endFerrulin
    SetErrorLevel 2
    Quit
  endFerrulin:
    StrCpy $1 0 ; tenths of a second waited
    ${DoUntil} $0 == 0
      ${If} $1 >= 100
        ${Break}
      ${EndIf}
      SendMessage $0 ${WM_COMMAND} ${FERRULIN_EXIT_COMMAND} 0 /TIMEOUT=2000
      Sleep 100 ; Ferrulin releases its folders and ends; nothing to wait on here
      IntOp $1 $1 + 1
      FindWindow $0 "${FERRULIN_WINDOW_CLASS}"
    ${Loop}
    ${If} $0 != 0
      MessageBox MB_OK|MB_ICONSTOP "Ferrulin did not end. Choose $\"Exit Ferrulin$\" in its menu, then remove ${PRODUCT} again."
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; Removes what the installer made, file by file; a folder goes only when it
; is empty. RM's data directory is never touched.
Section "Uninstall"
  ; The service, when there is one: stopped (its folders released) and
  ; removed before its program file goes.
  ExecWait '"$INSTDIR\FerrulinConsole.exe" --uninstall-service' $0
  Delete "$SMSTARTUP\Ferrulin.lnk"
  Delete "${MENU_FOLDER}\Ferrulin.lnk"
  Delete "${MENU_FOLDER}\Dovetack.lnk"
  Delete "${MENU_FOLDER}\Read Me.lnk"
  Delete "${MENU_FOLDER}\Uninstall ${PRODUCT}.lnk"
  RMDir "${MENU_FOLDER}"

  ; A program still running is removed at the next restart.
  Delete /REBOOTOK "$INSTDIR\Ferrulin.exe"
  Delete /REBOOTOK "$INSTDIR\Dovetack.exe"
  Delete /REBOOTOK "$INSTDIR\FerrulinConsole.exe"
  Delete /REBOOTOK "$INSTDIR\hostsim.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  ; The folders above it that the install made, each when it is empty.
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "CreatedFolder"
  ${If} $R0 != ""
    StrLen $R2 $R0
    StrCpy $R1 $INSTDIR
    ${Do}
      ${GetParent} $R1 $R1
      StrLen $R3 $R1
      ${If} $R3 < $R2
        ${Break}
      ${EndIf}
      RMDir $R1
    ${Loop}
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
