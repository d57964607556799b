; The Windows installer of Vellora (makensis; packaging/windows/make-installer.sh
; passes the files and the version):
;   - vellora.scr and vellora.hlp go into System32;
;   - the spare picture goes to c:\imgx.bmp, only when there is no such file;
;   - Vellora becomes the screen saver of the user logged on to this Windows
;     session, unless /NOACTIVATE (see LoggedOnUserSid);
;   - an uninstaller, registered in "Add or remove programs", takes away what
;     the installer put there and leaves the user's settings and password.
; Silent with /S, as every NSIS installer.

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!ifndef VERSION | SCR | HLP | SPARE | ICON | OUTFILE
  !error "make-installer.sh passes VERSION, SCR, HLP, SPARE, ICON and OUTFILE"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellora"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPARE_PICTURE "c:\imgx.bmp"

Name "Vellora ${VERSION}"
Caption "Vellora ${VERSION} Setup"
OutFile "${OUTFILE}"
; The uninstaller and the installer's copy of the spare picture live here.
InstallDir "$PROGRAMFILES64\Vellora"
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText "Vellora ${VERSION}"
Icon "${ICON}"
UninstallIcon "${ICON}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Vellora"
VIAddVersionKey /LANG=0 "CompanyName" "Vellora"
VIAddVersionKey /LANG=0 "FileDescription" "Vellora screen saver setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "The Vellora developers"

; Wording shown when Vellora could not be made the logged-on user's screen saver.
!define NOT_ACTIVATED "Vellora is installed, but it could not be made your screen saver. To choose it, open Settings > Personalization > Lock screen > Screen saver, pick $\"Vellora$\" and press OK."

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP|MB_OK "Vellora needs a 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; The screen saver is a setting of the user logged on to the session, in
; their own hive. The setup runs elevated, and then its HKCU may be another
; account's: an administrator's whose password a standard user typed, or
; SYSTEM's under a deployment tool. So the setting goes to HKU\<SID> of the
; session's user, which is the same hive as that user's HKCU and is loaded
; while they are logged on.
;
; $0 := the SID of the user logged on to this process's session (for a
; process in session 0, where services run and nobody logs on: the console
; session's), "" when there is none or the name cannot be looked up.
!macro LOGGED_ON_USER_SID un
Function ${un}LoggedOnUserSid
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $0 ""
  System::Call 'kernel32::GetCurrentProcessId() i .r1'
  System::Call 'kernel32::ProcessIdToSessionId(i r1, *i .r2) i .r3'
  ${If} $3 = 0
  ${OrIf} $2 = 0
    System::Call 'kernel32::WTSGetActiveConsoleSessionId() i .r2'
  ${EndIf}
!ifdef LOGGED_ON_USER
  ; A test build names the logged-on user itself: Wine knows one account only.
  StrCpy $1 "${LOGGED_ON_USER}"
!else
  ; WTSDomainName (7), then WTSUserName (5): DOMAIN\user.
  StrCpy $1 ""
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i r2, i 7, *p .r3, *i .r4) i .r4'
  ${If} $4 <> 0
    System::Call 'kernel32::lstrcpynW(w .r1, p r3, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(p r3)'
  ${EndIf}
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i r2, i 5, *p .r3, *i .r4) i .r4'
  ${If} $4 <> 0
    System::Call 'kernel32::lstrcpynW(w .r5, p r3, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(p r3)'
  ${Else}
    StrCpy $5 ""
  ${EndIf}
  ${If} $5 == ""
    StrCpy $1 ""
  ${ElseIf} $1 != ""
    StrCpy $1 "$1\$5"
  ${Else}
    StrCpy $1 $5
  ${EndIf}
!endif
  ${If} $1 != ""
    System::Alloc 68  ; SECURITY_MAX_SID_SIZE
    Pop $2
    System::Call 'advapi32::LookupAccountNameW(p 0, w r1, p r2, *i 68, w .r3, *i ${NSIS_MAX_STRLEN}, *i .r4) i .r5'
    ${If} $5 <> 0
      System::Call 'advapi32::ConvertSidToStringSidW(p r2, *p .r3) i .r5'
      ${If} $5 <> 0
        System::Call 'kernel32::lstrcpynW(w .r0, p r3, i ${NSIS_MAX_STRLEN})'
        System::Call 'kernel32::LocalFree(p r3)'
      ${EndIf}
    ${EndIf}
    System::Free $2
  ${EndIf}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd
!macroend
!insertmacro LOGGED_ON_USER_SID ""
!insertmacro LOGGED_ON_USER_SID "un."

Section "Vellora"
  SetOutPath "$SYSDIR"
  File "/oname=vellora.scr" "${SCR}"
  File "/oname=vellora.hlp" "${HLP}"

  SetOutPath "$INSTDIR"
  File "/oname=imgx.bmp" "${SPARE}"
  ; A spare picture already there is the user's: it stays as it is.
  ${IfNot} ${FileExists} "${SPARE_PICTURE}"
    CopyFiles /SILENT "$INSTDIR\imgx.bmp" "${SPARE_PICTURE}"
  ${EndIf}

  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOACTIVATE" $1
  ${If} ${Errors}
    Call LoggedOnUserSid
    ClearErrors
    ${If} $0 != ""
      WriteRegStr HKU "$0\${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\vellora.scr"
    ${EndIf}
    ${If} $0 == ""
    ${OrIf} ${Errors}
      MessageBox MB_ICONINFORMATION|MB_OK "${NOT_ACTIVATED}" /SD IDOK
    ${EndIf}
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vellora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Vellora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\vellora.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $2
SectionEnd

; $R0 := 1 when the two files ($R1, $R2) hold the same bytes, else 0.
Function un.SameContent
  StrCpy $R0 0
  ClearErrors
  FileOpen $3 $R1 r
  IfErrors done
  FileOpen $4 $R2 r
  IfErrors close_first
  FileSeek $3 0 END $5
  FileSeek $4 0 END $6
  ${If} $5 == $6
    FileSeek $3 0 SET
    FileSeek $4 0 SET
    StrCpy $R0 1
    ${Do}
      ClearErrors
      FileReadByte $3 $7
      ${If} ${Errors}
        ${Break}
      ${EndIf}
      FileReadByte $4 $8
      ${If} $7 != $8
        StrCpy $R0 0
        ${Break}
      ${EndIf}
    ${Loop}
  ${EndIf}
  FileClose $4
close_first:
  FileClose $3
done:
FunctionEnd

Section "Uninstall"
  ; The logged-on user's screen saver setting goes only when it still names
  ; Vellora, by its full name or by its short one (read before the file goes).
  Call un.LoggedOnUserSid
  ${If} $0 != ""
    GetFullPathName /SHORT $1 "$SYSDIR\vellora.scr"
    ReadRegStr $2 HKU "$0\${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${If} $2 != ""
      ${If} $2 == "$SYSDIR\vellora.scr"
      ${OrIf} $2 == $1
        DeleteRegValue HKU "$0\${DESKTOP_KEY}" "SCRNSAVE.EXE"
      ${EndIf}
    ${EndIf}
  ${EndIf}

  ; A saver that is running right now goes at the next start of Windows.
  Delete /REBOOTOK "$SYSDIR\vellora.scr"
  Delete /REBOOTOK "$SYSDIR\vellora.hlp"

  ; The spare picture goes only when it is still the one this installer brought.
  StrCpy $R1 "${SPARE_PICTURE}"
  StrCpy $R2 "$INSTDIR\imgx.bmp"
  Call un.SameContent
  ${If} $R0 == 1
    Delete "${SPARE_PICTURE}"
  ${EndIf}

  ; vellora.ini and the stored password are the user's: they stay.
  Delete "$INSTDIR\imgx.bmp"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
