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
Var OtherFolder

; One installation per user: the uninstall entry, the Start-menu shortcut and the start at login
; are one each, so a second installation in another folder would take them from the first.
; OtherFolder is the folder of an installation whose program is there and is not the one in
; $INSTDIR (compared as the same file, whatever letter case or short name names it); else empty.
Function FindOtherInstallation
    ReadRegStr $OtherFolder HKCU "${UNINSTALL_KEY}" "InstallLocation"
    StrCmp $OtherFolder "" done
    IfFileExists "$OtherFolder\kestaro-zelvan.exe" 0 none
    GetFullPathName /SHORT $0 "$OtherFolder\kestaro-zelvan.exe"
    GetFullPathName /SHORT $1 "$INSTDIR\kestaro-zelvan.exe"
    StrCmp $0 $1 none done
    none:
        StrCpy $OtherFolder ""
    done:
FunctionEnd

!define OTHER_INSTALLATION "برنامج Kestaro مثبَّت من قبل في المجلد:$\r$\n$OtherFolder$\r$\n$\r$\nولا يُثبَّت في مجلد ثانٍ. لتحديثه اختر ذلك المجلد نفسه، أو أزِل ذلك التثبيت أولاً."

; The folder page keeps the user on it with the reason; the silent installer ends with exit
; code 4 and nothing changed.
Function CheckFolderPage
    Call FindOtherInstallation
    StrCmp $OtherFolder "" +3
        MessageBox MB_ICONEXCLAMATION|MB_OK|MB_RIGHT|MB_RTLREADING "${OTHER_INSTALLATION}"
        Abort
FunctionEnd

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
        MessageBox MB_ICONSTOP|MB_OK|MB_RIGHT|MB_RTLREADING "برنامج Kestaro ما زال يعمل ولم يمكن إغلاقه، فلم يُغيَّر شيء. أغلقه من قائمة أيقونته بجانب الساعة («خروج») ثم أعد المحاولة." /SD IDOK
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
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolderPage
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
        MessageBox MB_ICONSTOP|MB_OK|MB_RIGHT|MB_RTLREADING "يتطلب هذا البرنامج Windows 10 أو Windows 11، ولا يعمل على هذا الإصدار من Windows؛ لم يُثبَّت شيء." /SD IDOK
        SetErrorLevel 3
        Quit
    ${EndIf}
FunctionEnd

Section "Kestaro"
    Call FindOtherInstallation
    StrCmp $OtherFolder "" +4
        MessageBox MB_ICONSTOP|MB_OK|MB_RIGHT|MB_RTLREADING "${OTHER_INSTALLATION} لم يُثبَّت شيء." /SD IDOK
        SetErrorLevel 4
        Quit
    Call EndRunningCopy
    SetOutPath "$INSTDIR"
    ; An upgrade writes over the program's files; the configuration file is not among them. A
    ; file that could not be written is a failure, never reported as success.
    ClearErrors
    File /r "${STAGE}\*.*"
    IfErrors 0 +4
        MessageBox MB_ICONSTOP|MB_OK|MB_RIGHT|MB_RTLREADING "تعذرت كتابة ملفات البرنامج في $INSTDIR." /SD IDOK
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
    ; Run in place (_?=), the uninstaller does the work itself and its exit code tells how it
    ; went; without it Windows' copy of NSIS hands the work to a copy in the temporary folder
    ; and reports 0 at once.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" \
        '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; The size shown in the installed programs' list, in KB.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    ; A copy that ran before the upgrade runs again on the new files.
    StrCmp $WasRunning 1 0 +2
        Exec '"$INSTDIR\kestaro-zelvan.exe"'
SectionEnd

; The copy started with /cleanup deletes the uninstaller left in the folder, and the folder if it
; is empty then; it waits up to ten seconds for the uninstaller that started it to end.
Function un.onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/cleanup" $1
    IfErrors done
    StrCpy $1 0
    try:
        Delete "$INSTDIR\uninstall.exe"
        IfFileExists "$INSTDIR\uninstall.exe" 0 gone
        IntOp $1 $1 + 1
        IntCmp $1 100 gone
        Sleep 100
        Goto try
    gone:
        RMDir "$INSTDIR"
        Quit
    done:
FunctionEnd

; Removes the program and its start at login, and keeps what the user saved: the configuration
; file beside the program, and with it the folder.
Section "Uninstall"
    Call un.EndRunningCopy
    ; Only this copy's start at login: another copy (a portable one) may be the one started.
    ReadRegStr $0 HKCU "${RUN_KEY}" "KestaroZelvan"
    StrCmp $0 '"$INSTDIR\kestaro-zelvan.exe"' 0 +2
        DeleteRegValue HKCU "${RUN_KEY}" "KestaroZelvan"
    Delete "$INSTDIR\*.exe"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\qt.conf"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\THIRD-PARTY.txt"
    RMDir /r "$INSTDIR\licenses"
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\translations"
    ; A program file another program holds is a failure: the entry stays, to try again.
    IfFileExists "$INSTDIR\kestaro-zelvan.exe" 0 +4
        MessageBox MB_ICONSTOP|MB_OK|MB_RIGHT|MB_RTLREADING "تعذر حذف ملفات البرنامج من $INSTDIR؛ أغلق ما يستعملها ثم أعد المحاولة." /SD IDOK
        SetErrorLevel 2
        Quit
    ; The entry and the shortcut are the installation's the entry names: one of an earlier
    ; version may have been taken over by a second installation, whose they then are.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${OrIf} $0 == $INSTDIR
        Delete "$SMPROGRAMS\${SHORTCUT}.lnk"
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
    RMDir "$INSTDIR"
    ; Run in place, the uninstaller cannot delete its own file while it runs: a copy of it in the
    ; temporary folder does, once this one has ended (see un.onInit).
    ${If} $EXEDIR == $INSTDIR
        CopyFiles /SILENT "$EXEPATH" "$TEMP\kestaro-uninstall-cleanup.exe"
        Exec '"$TEMP\kestaro-uninstall-cleanup.exe" /cleanup _?=$INSTDIR'
    ${EndIf}
SectionEnd
