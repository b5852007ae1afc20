; The voltaDesk installer, built by scripts/windows-build.sh:
;   makensis -DVERSION=1.01 -DSTAGE=<staged distribution> -DOUTFILE=<setup.exe> voltadesk.nsi
;
; It installs the staged folder, adds a Start-menu entry, puts the driver files into the
; VXIplug&play tree (the one VXIPNPPATH names, or its own, which it then names), and offers
; our VISA library only where no VISA is installed: a vendor's visa32.dll is never shadowed.
; The uninstaller removes exactly what the installer added.
Unicode true
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"

!define PRODUCT "voltaDesk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\voltaDesk"
!define STATE_KEY "Software\voltaDesk"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${STATE_KEY}" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

Section "voltaDesk" SecProgram
    SectionIn RO
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r /x visa "${STAGE}\*.*"

    ; The driver files: into the VXIplug&play tree of the installed VISA, or into ours.
    ReadEnvStr $0 VXIPNPPATH
    ${If} $0 != ""
        CreateDirectory "$0WinNT\Bin"
        ${IfNot} ${FileExists} "$0WinNT\Bin\rvka5630_math.dll"
            WriteRegStr HKLM "${STATE_KEY}" "DriversCopiedTo" "$0WinNT\Bin"
        ${EndIf}
        CopyFiles /SILENT "$INSTDIR\vxipnp\WinNT\Bin\rvka5630_math.dll" "$0WinNT\Bin"
        CopyFiles /SILENT "$INSTDIR\vxipnp\WinNT\Bin\rvka5630_32.dll" "$0WinNT\Bin"
    ${Else}
        WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "VXIPNPPATH" "$INSTDIR\vxipnp\"
        WriteRegDWORD HKLM "${STATE_KEY}" "SetVxipnpPath" 1
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
    ${EndIf}

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\voltaDesk.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${STATE_KEY}" "InstallDir" "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "voltaDesk"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\voltaDesk.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Beside the programs, where only they load it. Offered (and ticked) only when the system has
; no visa32.dll; with one installed the option stays off and cannot be ticked.
Section /o "voltaDesk VISA library (only where no VISA is installed)" SecVisa
    SetOutPath "$INSTDIR"
    File "${STAGE}\visa\visa32.dll"
    WriteRegDWORD HKLM "${STATE_KEY}" "OwnVisa" 1
SectionEnd

LangString DESC_PROGRAM ${LANG_ENGLISH} "The program, its Qt libraries and the module driver files."
LangString DESC_PROGRAM ${LANG_RUSSIAN} "Программа, её библиотеки Qt и файлы драйвера модуля."
LangString DESC_VISA ${LANG_ENGLISH} "Our VISA library over VXI-11, for a workstation without any VISA."
LangString DESC_VISA ${LANG_RUSSIAN} "Наша библиотека VISA (VXI-11) для рабочего места без VISA."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} $(DESC_PROGRAM)
    !insertmacro MUI_DESCRIPTION_TEXT ${SecVisa} $(DESC_VISA)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; A 32-bit installer sees the 32-bit system folder, where a vendor's visa32.dll lies.
Function .onInit
    ${If} ${FileExists} "$SYSDIR\visa32.dll"
        SectionSetFlags ${SecVisa} ${SF_RO}
    ${Else}
        SectionSetFlags ${SecVisa} ${SF_SELECTED}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    ReadRegStr $0 HKLM "${STATE_KEY}" "DriversCopiedTo"
    ${If} $0 != ""
        Delete "$0\rvka5630_math.dll"
        Delete "$0\rvka5630_32.dll"
    ${EndIf}
    ReadRegDWORD $1 HKLM "${STATE_KEY}" "SetVxipnpPath"
    ${If} $1 == 1
        DeleteRegValue HKLM "${ENVIRONMENT_KEY}" "VXIPNPPATH"
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
    ${EndIf}

    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"

    ; Only a folder that holds our program is removed, whatever folder was chosen.
    ${If} ${FileExists} "$INSTDIR\voltaDesk.exe"
        RMDir /r "$INSTDIR"
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${STATE_KEY}"
SectionEnd
