; The installer of RS232 Kalvex for 64-bit Windows, made by tools/package-windows.sh:
;   makensis -DVERSION=1.0.0 -DSTAGE=DIR -DEXE=NAME.exe -DOUTFILE=SETUP.exe -DICON=app.ico
;            -DPUBLISHER=NAME -DSIZE_KB=N -DFILES=files.nsh installer.nsi
; STAGE holds the program's folder as the zip has it; FILES lists its files, with a macro
; that installs them and one that removes exactly them, so that the uninstaller deletes
; nothing it did not put there (a folder the user chose may hold files of their own).
; It installs to Program Files for every user (administrator rights, once), adds a Start
; menu entry and an entry under installed apps; /S installs and uninstalls silently. The
; program itself runs without administrator rights and writes nothing beside itself, so
; the finish page does not offer to start it: started from here it would run with the
; installer's rights. Neither the installer nor the uninstaller touches the program's files
; while a console runs.
Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"
!include "${FILES}"

!define PRODUCT "RS232 Kalvex"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\RS232 Kalvex"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; A folder chosen before is offered again on an update.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1045 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1045 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1045 "FileDescription" "${PRODUCT} ${VERSION} - instalator"
VIAddVersionKey /LANG=1045 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TEXT "$(^NameDA) został zainstalowany na Twoim komputerze.$\r$\n$\r$\nUruchomisz go z menu Start: ${PRODUCT}."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

; Waits while a console runs, asking the user to close it, or gives up (Abort, exit code 2).
; Every console holds this mutex while it runs (app/runningmark.h names it too). In silent
; mode it gives up at once.
!define RUNNING_MUTEX "Global\RS232KalvexConsoleRunning"
!macro RefuseWhileRunning WHAT
    ${Do}
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .R9'
        ${IfThen} $R9 == 0 ${|} ${Break} ${|}
        System::Call 'kernel32::CloseHandle(p R9)'
        ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} jest uruchomiony. Nie można go ${WHAT}, dopóki działa.$\r$\n$\r$\nZamknij go (przycisk „Zakończ program”) i wybierz „Ponów próbę”." /SD IDCANCEL IDRETRY`
            SetErrorLevel 2
            Abort
        ${EndIf}
    ${Loop}
!macroend

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "${PRODUCT} wymaga 64-bitowego systemu Windows." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
    !insertmacro RefuseWhileRunning "odinstalować"
FunctionEnd

Section "${PRODUCT}"
    !insertmacro RefuseWhileRunning "zaktualizować"
    ; An installed version is removed first, so that no file of it stays behind.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\uninstall.exe"
        ExecWait '"$0\uninstall.exe" /S _?=$0'
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}

    SetOutPath "$INSTDIR"
    !insertmacro InstallFiles
    WriteUninstaller "$INSTDIR\uninstall.exe"
    SetOutPath "$INSTDIR"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 \
        SW_SHOWNORMAL "" "Konsola testowa rejestratora danych CompactFlash"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${EXE}",0'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    ; Started again since the uninstaller began?
    !insertmacro RefuseWhileRunning "odinstalować"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    !insertmacro RemoveFiles
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
