; The installer of Kinetrix, made by packaging/CMakeLists.txt:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.00.01.02 -DVERSION_DOTS=1.0.1.2 -DFILE_LIST=files.nsh
;            -DICON=kinetrix.ico -DOUTFILE=setup.exe kinetrix.nsi
; FILE_LIST names the files to install and to remove (packaging/stage.cmake).
;
; A 64-bit installer: the program is 64-bit only, a 32-bit installer would see the 32-bit views of
; Program Files and of the registry, and a Wine prefix without 32-bit support cannot run it.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include "${FILE_LIST}"

!define PRODUCT "Pelmor Kinetrix"
!define PUBLISHER "Pelmor Soft. Lab."
!define PROGRAM "$INSTDIR\kinetrix.exe"
!define UNINSTALLER "$INSTDIR\uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kinetrix"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kinetrix"
; Installing again goes where the last installation went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "${PROGRAM}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\readme.txt"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; The installer's own version resource says what it installs.
VIProductVersion ${VERSION_DOTS}
VIFileVersion ${VERSION_DOTS}
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Section "${PRODUCT}" ProgramSection
  SectionIn RO
  ; The shortcut is for every user, as the folder in Program Files is.
  SetShellVarContext all
  !insertmacro KX_INSTALL_FILES
  WriteUninstaller "${UNINSTALLER}"
  ; The shortcut starts the program in its own folder, beside its sample strip.
  SetOutPath "$INSTDIR"
  CreateShortcut "${SHORTCUT}" "${PROGRAM}" "" "${PROGRAM}" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${PROGRAM},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as the list of installed programs shows it; the section's files give the size.
  SectionGetSize ${ProgramSection} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; The program itself closes its running copies and removes the user's settings, while it is
  ; still there to do it; a running copy would also keep its file from being deleted.
  ExecWait '"${PROGRAM}" /r'
  !insertmacro KX_REMOVE_FILES
  Delete "${UNINSTALLER}"
  ; Only when empty: the folder may be one the user chose and keeps other files in.
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
