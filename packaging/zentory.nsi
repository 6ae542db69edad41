; Zentory's installer. Built by scripts/package:
;   makensis -DVERSION=3.2.0 -DBUILD=<dir with the .exe files> -DREADME=<LEIA-ME.txt>
;            -DICON=<app.ico> -DOUT=<setup.exe> zentory.nsi
; Silent install and uninstall: /S. Start at logon (section "logon") is off by default;
; silently: zentory-<version>-setup.exe /S /LOGON=1

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!define PRODUCT "Zentory"
!define PUBLISHER "Mordale"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentory"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define FIREWALL_RULE "Zentory (UDP)"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1046 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1046 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1046 "FileDescription" "Instalador do ${PRODUCT}"
VIAddVersionKey /LANG=1046 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "LegalCopyright" "© ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\zentory.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"
!insertmacro MUI_LANGUAGE "English"

LangString SectionProgram ${LANG_PORTUGUESEBR} "Zentory (obrigatório)"
LangString SectionProgram ${LANG_ENGLISH} "Zentory (required)"
LangString SectionLogon ${LANG_PORTUGUESEBR} "Iniciar com o Windows"
LangString SectionLogon ${LANG_ENGLISH} "Start with Windows"

Section "!$(SectionProgram)" SectionMain
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${BUILD}/zentory.exe"
    File "${BUILD}/zentory-cli.exe"
    File "/oname=LEIA-ME.txt" "${README}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\zentory.exe"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Desinstalar ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

    ; Where Windows lists installed programs.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zentory.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; Let the phone's datagrams reach the program: the most common reason scans never arrive.
    nsExec::Exec 'netsh advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow program="$INSTDIR\zentory.exe" protocol=UDP enable=yes'
    Pop $0
SectionEnd

; The same logon entry that the configuration dialog writes: the path in quotes.
Section /o "$(SectionLogon)" SectionLogon
    WriteRegStr HKCU "${RUN_KEY}" "Zentory" '"$INSTDIR\zentory.exe"'
SectionEnd

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "O Zentory precisa do Windows de 64 bits." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
    SetShellVarContext all  ; Start-menu entries for every user of the computer
    ; /LOGON=1 turns the logon section on for silent installs.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/LOGON=" $1
    ${IfNot} ${Errors}
    ${AndIf} $1 == "1"
        SectionSetFlags ${SectionLogon} ${SF_SELECTED}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Uninstall"
    ; A running Zentory holds its files: ask it to close first.
    FindWindow $0 "ZentoryWinClass"
    ${If} $0 != 0
        SendMessage $0 ${WM_CLOSE} 0 0
        Sleep 1000
    ${EndIf}
    nsExec::Exec 'netsh advfirewall firewall delete rule name="${FIREWALL_RULE}"'
    Pop $0
    DeleteRegValue HKCU "${RUN_KEY}" "Zentory"
    Delete "$INSTDIR\zentory.exe"
    Delete "$INSTDIR\zentory-cli.exe"
    Delete "$INSTDIR\LEIA-ME.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Desinstalar ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
