; The Windows installer: a per-user installation (no administrator rights), so that the folder of
; the program stays writable and its configuration file stays beside it.
; makensis -DVERSION=1.0 -DSTAGE=<folder with the program> -DOUTFILE=<setup.exe> -DICON=<.ico>
;     kestaro.nsi
; A 64-bit installer for a 64-bit program (it runs where the program runs).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define NAME "Kestaro"
!define SHORTCUT "Kestaro - طلبات الشهادات المدرسية"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestaro"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "WinVer.nsh"
!include "MUI2.nsh"

Name "${SHORTCUT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kestaro"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

Var WasRunning

; The program lives in the tray all day, so an upgrade or an uninstall usually finds it running,
; and Windows writes no file of a running program. The copy in the installation folder is asked
; to end (as its tray menu's exit item would) and its files are waited for; where they stay
; taken, nothing is changed: a message says why (none under /S) and the exit code is 2.
!macro EndRunningCopy PREFIX
Function ${PREFIX}EndRunningCopy
    StrCpy $WasRunning 0
    IfFileExists "$INSTDIR\kestaro-zelvan.exe" 0 done
    nsExec::Exec '"$INSTDIR\kestaro-zelvan.exe" --quit'
    Pop $0
    StrCmp $0 3 0 +2
        StrCpy $WasRunning 1
    StrCpy $1 0
    try:
        ClearErrors
        FileOpen $2 "$INSTDIR\kestaro-zelvan.exe" a
        IfErrors 0 free
        IntOp $1 $1 + 1
        IntCmp $1 20 busy
        Sleep 500
        Goto try
    free:
        FileClose $2
        Goto done
    busy:
        MessageBox MB_ICONSTOP|MB_OK "برنامج Kestaro ما زال يعمل ولم يمكن إغلاقه، فلم يُغيَّر شيء. أغلقه من قائمة أيقونته بجانب الساعة («خروج») ثم أعد المحاولة." /SD IDOK
        SetErrorLevel 2
        Quit
    done:
FunctionEnd
!macroend
!insertmacro EndRunningCopy ""
!insertmacro EndRunningCopy "un."

; The pages in Arabic, right to left, with the program's icon; the last one offers to start it.
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\kestaro-zelvan.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Arabic"

; The installer's own version, shown in its file's properties.
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ARABIC} "ProductName" "${NAME}"
VIAddVersionKey /LANG=${LANG_ARABIC} "CompanyName" "${NAME}"
VIAddVersionKey /LANG=${LANG_ARABIC} "FileDescription" "${NAME} ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ARABIC} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ARABIC} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ARABIC} "LegalCopyright" "MIT licence, the Kestaro developers"
VIAddVersionKey /LANG=1033 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${NAME}"
VIAddVersionKey /LANG=1033 "FileDescription" "${NAME} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT licence, the Kestaro developers"

; Qt 6 runs on Windows 10 and 11 only: an older Windows is told so before anything is copied.
Function .onInit
    ${IfNot} ${AtLeastWin10}
        MessageBox MB_ICONSTOP|MB_OK "يتطلب هذا البرنامج Windows 10 أو Windows 11، ولا يعمل على هذا الإصدار من Windows؛ لم يُثبَّت شيء." /SD IDOK
        SetErrorLevel 3
        Quit
    ${EndIf}
FunctionEnd

Section "Kestaro"
    Call EndRunningCopy
    SetOutPath "$INSTDIR"
    ; An upgrade writes over the program's files; the configuration file is not among them. A
    ; file that could not be written is a failure, never reported as success.
    ClearErrors
    File /r "${STAGE}\*.*"
    IfErrors 0 +4
        MessageBox MB_ICONSTOP|MB_OK "تعذرت كتابة ملفات البرنامج في $INSTDIR." /SD IDOK
        SetErrorLevel 2
        Quit
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\${SHORTCUT}.lnk" "$INSTDIR\kestaro-zelvan.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${SHORTCUT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kestaro-zelvan.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; The size shown in the installed programs' list, in KB.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    ; A copy that ran before the upgrade runs again on the new files.
    StrCmp $WasRunning 1 0 +2
        Exec '"$INSTDIR\kestaro-zelvan.exe"'
SectionEnd

; Removes the program and its start at login, and keeps what the user saved: the configuration
; file beside the program, and with it the folder.
Section "Uninstall"
    Call un.EndRunningCopy
    ; Only this copy's start at login: another copy (a portable one) may be the one started.
    ReadRegStr $0 HKCU "${RUN_KEY}" "KestaroZelvan"
    StrCmp $0 '"$INSTDIR\kestaro-zelvan.exe"' 0 +2
        DeleteRegValue HKCU "${RUN_KEY}" "KestaroZelvan"
    Delete "$SMPROGRAMS\${SHORTCUT}.lnk"
    Delete "$INSTDIR\*.exe"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\qt.conf"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\THIRD-PARTY.txt"
    RMDir /r "$INSTDIR\licenses"
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\translations"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
