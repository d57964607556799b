; The Windows installer of Vellora (makensis; packaging/windows/make-installer.sh
; passes the files and the version):
;   - vellora.scr and vellora.hlp go into System32;
;   - the spare picture goes to c:\imgx.bmp, only when there is no such file;
;   - Vellora becomes the current user's screen saver, unless /NOACTIVATE;
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
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\vellora.scr"
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
  ; The screen saver setting goes only when it still names Vellora, by its
  ; full name or by its short one (read before the file goes).
  GetFullPathName /SHORT $1 "$SYSDIR\vellora.scr"
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 != ""
    ${If} $0 == "$SYSDIR\vellora.scr"
    ${OrIf} $0 == $1
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
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
