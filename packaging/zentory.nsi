; Zentory's installer. Built by scripts/package:
;   makensis -DVERSION=3.2.0 -DBUILD=<dir with the .exe files> -DREADME=<LEIA-ME.txt>
;            -DICON=<app.ico> -DOUT=<setup.exe> zentory.nsi
; Silent install and uninstall: /S.
; Starting at logon is not offered here: the installer runs elevated, and its HKCU can be
; the administrator's rather than the user's. Zentory's configuration dialog sets it for
; the user who runs it; the uninstaller removes that user's entry.

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
!define LOGON_VALUE "Zentory"  ; the value that the configuration dialog writes under RUN_KEY
!define FIREWALL_RULE "Zentory (UDP)"
!define FIREWALL_WEB_RULE "Zentory (TCP)"
!define WEB_PORT 6667
; The senders Zentory takes by default: private networks and this computer. On every
; profile, since Windows marks many home networks as public and the phone must get in.
!define PRIVATE_RANGES "10.0.0.0/8,172.16.0.0/12,192.168.0.0/16,169.254.0.0/16,127.0.0.0/8"

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
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"
!insertmacro MUI_LANGUAGE "English"

LangString SectionProgram ${LANG_PORTUGUESEBR} "Zentory (obrigatório)"
LangString SectionProgram ${LANG_ENGLISH} "Zentory (required)"

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
    nsExec::Exec 'netsh advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow program="$INSTDIR\zentory.exe" protocol=UDP remoteip=${PRIVATE_RANGES} profile=any enable=yes'
    Pop $0
    ; The phone's page: TCP on its port, from the same ranges.
    nsExec::Exec 'netsh advfirewall firewall add rule name="${FIREWALL_WEB_RULE}" dir=in action=allow program="$INSTDIR\zentory.exe" protocol=TCP localport=${WEB_PORT} remoteip=${PRIVATE_RANGES} profile=any enable=yes'
    Pop $0
SectionEnd

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "O Zentory precisa do Windows de 64 bits." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
    SetShellVarContext all  ; Start-menu entries for every user of the computer
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
    nsExec::Exec 'netsh advfirewall firewall delete rule name="${FIREWALL_WEB_RULE}"'
    Pop $0
    ; The logon entry of the user who uninstalls, set by the configuration dialog: left
    ; behind, it would start a program that is gone at every logon.
    DeleteRegValue HKCU "${RUN_KEY}" "${LOGON_VALUE}"
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
