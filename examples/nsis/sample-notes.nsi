; The installer of Sample Notes, built by makensis from a staged folder:
;
;   makensis -DSTAGE=DIR [-DOUTFILE=FILE] [-DTARGET=amd64-unicode] sample-notes.nsi
;
; DIR/app/ is the application folder as it is to be installed, with
; Uninstall.exe and, in the second build, the Uninstall.dat that installlog
; captured from the first (build.sh makes all of it); DIR/windows/ holds a
; file for the Windows folder. The installer has no uninstaller of its own:
; Uninstall.exe removes, as Uninstall.dat lists them, the files, folders,
; registry keys and links that this script installs. Nothing here is listed
; a second time for the log: installlog capture finds it all by running the
; installer under Wine. TARGET amd64-unicode makes a 64-bit installer, for
; machines that run only 64-bit code.
!ifdef TARGET
  Target "${TARGET}"
!else
  Unicode true
!endif

!ifndef STAGE
  !error "Name the staged folder: makensis -DSTAGE=DIR sample-notes.nsi"
!endif
!ifndef OUTFILE
  !define OUTFILE "SampleNotesSetup.exe"
!endif
!define APPNAME "Sample Notes"
!define VENDOR "Sample Vendor"
!define ARP "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APPNAME}"

Name "${APPNAME}"
OutFile "${OUTFILE}"
; Uninstall.dat names the application folder as %currentdir%, so any folder
; the user picks works; the vendor's folder above it goes too, once empty.
InstallDir "$PROGRAMFILES\${VENDOR}\${APPNAME}"
; Per machine: files under Program Files and the Windows folder, keys under
; HKEY_LOCAL_MACHINE; Uninstall.exe asks for the same rights.
RequestExecutionLevel admin
SetCompressor /SOLID lzma

Page directory
Page instfiles

Section "Sample Notes"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/app/*"
  SetOutPath "$WINDIR"
  File "${STAGE}/windows/SampleNotes.ini"

  WriteRegStr HKLM "Software\${VENDOR}\${APPNAME}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "Software\${VENDOR}\${APPNAME}" "Version" "1.0"
  WriteRegStr HKCU "Software\${VENDOR}\${APPNAME}\Settings" "WordWrap" "1"
  WriteRegStr HKCR ".sampnote" "" "SampleNotes.Document"
  WriteRegStr HKCR "SampleNotes.Document" "" "Sample Notes document"
  WriteRegStr HKCR "SampleNotes.Document\shell\open\command" "" '"$INSTDIR\SampleNotes.exe" "%1"'

  ; The entry of "Add or remove programs", whose uninstaller is ours.
  WriteRegStr HKLM "${ARP}" "DisplayName" "${APPNAME}"
  WriteRegStr HKLM "${ARP}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${ARP}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${ARP}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${ARP}" "NoModify" 1
  WriteRegDWORD HKLM "${ARP}" "NoRepair" 1

  ; The current user's Start menu and desktop (SetShellVarContext current,
  ; NSIS's default), where Uninstall.exe removes the program group and the
  ; desktop link named after the application.
  CreateDirectory "$SMPROGRAMS\${APPNAME}"
  CreateShortCut "$SMPROGRAMS\${APPNAME}\${APPNAME}.lnk" "$INSTDIR\SampleNotes.exe"
  CreateShortCut "$SMPROGRAMS\${APPNAME}\Read me.lnk" "$INSTDIR\Readme.txt"
  CreateShortCut "$DESKTOP\${APPNAME}.lnk" "$INSTDIR\SampleNotes.exe"
SectionEnd
