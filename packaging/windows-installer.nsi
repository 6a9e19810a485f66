; The Windows setup program: puts the VST3 bundle where Windows hosts look for it (the common
; VST3 folder), an uninstaller beside nothing else in its own folder, and an entry in Windows'
; list of installed programs. Runs silently with /S (install and uninstall alike).
;
; Built by scripts/make-installer.sh, which defines:
;   VERSION   the project's version (x.y.z)
;   BUNDLE    the built "The Morsello.vst3" folder
;   LICENCE   the licence as a text file with Windows line ends
;   OUTFILE   the setup program to write

!ifndef VERSION | BUNDLE | LICENCE | OUTFILE
    !error "VERSION, BUNDLE, LICENCE and OUTFILE must be defined (scripts/make-installer.sh does)"
!endif

; A 64-bit setup program: the plug-in is 64-bit only, a 64-bit program sees the 64-bit
; Program Files, Common Files and registry without redirection, and it is the kind the tests'
; Wine (Debian's wine64, without the 32-bit loader) can run, so the program shipped is the one
; tested.
Target amd64-unicode
Unicode true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define PRODUCT "The Morsello"
!define PUBLISHER "Morsello Kitchen"
!define BUNDLE_NAME "The Morsello.vst3"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\The Morsello"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; Only the uninstaller lives here; the plug-in goes to the common VST3 folder, which hosts scan.
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ManifestDPIAware true
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ABORTWARNING
; The GPL is not an agreement to accept: the page shows it and goes on with "Next".
!define MUI_PAGE_HEADER_TEXT "Licence"
!define MUI_PAGE_HEADER_SUBTEXT "The terms under which you may use, copy and change ${PRODUCT}."
!define MUI_LICENSEPAGE_TEXT_TOP "The Morsello is free software under the GNU General Public License."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "You may use it without accepting anything. The licence sets the terms for copying, changing and passing it on. Click Next to continue."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} ${VERSION} is installed"
!define MUI_FINISHPAGE_TEXT "The plug-in is in $COMMONFILES64\VST3\${BUNDLE_NAME}.$\r$\n$\r$\nLet your host rescan its plug-ins: ${PRODUCT} appears as an audio effect by ${PUBLISHER}."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

!macro RefuseOn32BitWindows
    ; Built as a 64-bit program (above), the setup program never gets here on 32-bit Windows:
    ; Windows itself refuses to start it and says the program cannot run on this PC. The check
    ; is kept so that a 32-bit build of this script (Target x86-unicode) refuses in its own words.
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is a 64-bit plug-in and needs 64-bit Windows." /SD IDOK
        SetErrorLevel 1
        Quit
    ${EndIf}
!macroend

Function .onInit
    !insertmacro RefuseOn32BitWindows
    SetRegView 64
FunctionEnd

Function un.onInit
    !insertmacro RefuseOn32BitWindows
    SetRegView 64
FunctionEnd

Section "The Morsello"
    SectionIn RO
    StrCpy $0 "$COMMONFILES64\VST3\${BUNDLE_NAME}"

    ; An earlier version's bundle goes first, whole, so no file it had and this one lacks is
    ; left behind. A host that has the plug-in loaded keeps its DLL open and the folder stays.
    SetOutPath "$TEMP"
    ${If} ${FileExists} "$0\*.*"
        DetailPrint "Removing the installed bundle"
        RMDir /r "$0"
        ${If} ${FileExists} "$0\*.*"
            MessageBox MB_OK|MB_ICONSTOP "The installed ${BUNDLE_NAME} could not be replaced. Close every program that uses ${PRODUCT} and run the setup again." /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}

    SetOutPath "$0"
    File /r "${BUNDLE}/*"

    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    ; The size shown in the list of programs: bundle and uninstaller, in KiB rounded up.
    ${GetSize} "$0" "/S=0B" $1 $2 $3
    ${GetSize} "$INSTDIR" "/M=${UNINSTALLER} /S=0B /G=0" $4 $2 $3
    IntOp $1 $1 + $4
    IntOp $1 $1 + 1023
    IntOp $1 $1 / 1024

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the setup program put there and nothing else: the folders are removed only when
; empty, so anything a user keeps in them (recipe files, other plug-ins) stays.
Section "Uninstall"
    SetOutPath "$TEMP"
    StrCpy $0 "$COMMONFILES64\VST3\${BUNDLE_NAME}"
    RMDir /r "$0"
    ${If} ${FileExists} "$0\*.*"
        MessageBox MB_OK|MB_ICONSTOP "${BUNDLE_NAME} could not be removed. Close every program that uses ${PRODUCT} and run the uninstaller again." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    RMDir "$COMMONFILES64\VST3"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
