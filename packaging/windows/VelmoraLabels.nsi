; The Velmora Labels installer for 64-bit Windows, built on Linux by
; scripts/package-windows.sh with Debian's makensis:
;
;   makensis -DVERSION=1.0.0 -DFILES=<folder with the programs and README.txt>
;            -DICON=<Ferrulin's .ico> -DOUTFILE=<installer .exe> VelmoraLabels.nsi
;
; It asks for RM's data directory, installs the programs into Program Files,
; adds Start-menu shortcuts that start them in the data directory (their
; working directory), offers a shortcut in the Startup folder that starts
; Ferrulin in the notification area ("/MINIMIZED"), and registers its
; uninstaller with Add/Remove Programs. It writes nothing into the data
; directory; the uninstaller removes only what the installer made.
;
; Silent install (the data directory must exist; /D comes last, unquoted):
;   VelmoraLabels-1.0.0-win64-setup.exe /S /DATADIR="C:\RM Data" [/NOSTARTUP] [/D=C:\Program Files\Velmora Labels]
; Exit code 0 when installed, 2 when the data directory is missing or wrong.
; Silent uninstall: "C:\Program Files\Velmora Labels\Uninstall.exe" /S

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

Section "Start Ferrulin when a user logs in" SecStartup
  SetOutPath "$DataDir"
  CreateShortcut "$SMSTARTUP\Ferrulin.lnk" "$INSTDIR\Ferrulin.exe" "/MINIMIZED" \
    "$INSTDIR\Ferrulin.exe" 0 SW_SHOWMINIMIZED "" "The label spooler for RM, in the notification area"
  SetOutPath "$INSTDIR"
SectionEnd

Function .onInit
  ; Shortcuts for every user of the machine, as the programs are.
  SetShellVarContext all
  ReadRegStr $DataDir HKLM "${UNINSTALL_KEY}" "DataDirectory"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/DATADIR=" $R1
  ${IfNot} ${Errors}
    StrCpy $DataDir $R1
  ${EndIf}
  !insertmacro TrimBackslash $DataDir
  ClearErrors
  ${GetOptions} $R0 "/NOSTARTUP" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecStartup}
  ${EndIf}
  ${If} ${Silent}
    ${If} $DataDir == ""
    ${OrIfNot} ${FileExists} "$DataDir\*.*"
      ; A silent install cannot ask: it needs an existing data directory.
      SetErrorLevel 2
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
FunctionEnd

; Removes what the installer made, file by file; a folder goes only when it
; is empty. RM's data directory is never touched.
Section "Uninstall"
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

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
