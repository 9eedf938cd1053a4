; The yardstick of tools/bench-install.sh: an NSIS installer doing the wizard's work the way
; NSIS installers do it, without flushing anything. It runs silently from the distribution
; folder (it copies from beside itself, as Install.exe does) into the folder given by /D=.
; Defines from the script: OUTFILE, NEWEST (the newest release package), FONT0 to FONT6 (the
; fonts' full names), AMD64 for the 64-bit stub, EMPTY for an installer that does nothing (its
; run is the cost of starting and ending one).
Unicode true
!ifdef AMD64
Target amd64-unicode
!endif
!include "WinMessages.nsh"

Name "Velmora"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent
InstallDir "C:\Holter"

!macro CopyInto FOLDER FROM
  CopyFiles /SILENT "$EXEDIR\${FROM}" "${FOLDER}"
!macroend

!macro Font FILE NAME
  CopyFiles /SILENT "$EXEDIR\fonts\${FILE}" "$FONTS"
  WriteRegStr HKLM "Software\Microsoft\Windows NT\CurrentVersion\Fonts" "${NAME} (TrueType)" "${FILE}"
  System::Call "gdi32::AddFontResourceW(w '$FONTS\${FILE}') i"
  SendMessage ${HWND_BROADCAST} ${WM_FONTCHANGE} 0 0 /TIMEOUT=5000
  System::Call "gdi32::RemoveFontResourceW(w '$FONTS\${FILE}') i"
  SendMessage ${HWND_BROADCAST} ${WM_FONTCHANGE} 0 0 /TIMEOUT=5000
!macroend

Section
!ifndef EMPTY
  ; Settings
  CreateDirectory "$INSTDIR\Settings"
  WriteINIStr "$INSTDIR\Settings\holter.ini" "options" "FilterType" "0"
  WriteINIStr "$INSTDIR\Settings\holter.ini" "options" "HardwareType" "1"
  ; Database
  CreateDirectory "$INSTDIR\DTAfb"
  !insertmacro CopyInto "$INSTDIR\DTAfb" "DTAfb\T27.FDB"
  ; Runtime files, one by one as the wizard copies them
  !insertmacro CopyInto "$INSTDIR" "Firebird\aliases.conf"
  !insertmacro CopyInto "$INSTDIR" "Firebird\firebird.conf"
  !insertmacro CopyInto "$INSTDIR" "Firebird\fbclient.Dll"
  !insertmacro CopyInto "$INSTDIR" "Firebird\ib_util.Dll"
  !insertmacro CopyInto "$INSTDIR" "Firebird\icudt30.Dll"
  !insertmacro CopyInto "$INSTDIR" "Firebird\icuin30.Dll"
  !insertmacro CopyInto "$INSTDIR" "Firebird\icuuc30.Dll"
  !insertmacro CopyInto "$INSTDIR" "Firebird\msvcp80.Dll"
  !insertmacro CopyInto "$INSTDIR" "Firebird\msvcr80.Dll"
  !insertmacro CopyInto "$INSTDIR" "Firebird\firebird.msg"
  !insertmacro CopyInto "$INSTDIR" "Firebird\gbak.exe"
  !insertmacro CopyInto "$INSTDIR" "Firebird\gds32.dll"
  CreateDirectory "$INSTDIR\intl"
  !insertmacro CopyInto "$INSTDIR\intl" "Firebird\intl\fbintl.conf"
  !insertmacro CopyInto "$INSTDIR\intl" "Firebird\intl\fbintl.dll"
  CreateDirectory "$INSTDIR\udf"
  !insertmacro CopyInto "$INSTDIR\udf" "Firebird\udf\fbudf.dll"
  !insertmacro CopyInto "$INSTDIR\udf" "Firebird\udf\ib_udf.dll"
  !insertmacro CopyInto "$INSTDIR\udf" "Firebird\udf\fbudf.sql"
  !insertmacro CopyInto "$INSTDIR\udf" "Firebird\udf\ib_udf.sql"
  !insertmacro CopyInto "$INSTDIR\udf" "Firebird\udf\ib_udf2.sql"
  !insertmacro CopyInto "$INSTDIR\udf" "UDF\Ferrat.Dll"
  !insertmacro CopyInto "$INSTDIR\udf" "UDF\Lumex.Dll"
  !insertmacro CopyInto "$INSTDIR\udf" "UDF\Quindal.Dll"
  !insertmacro CopyInto "$INSTDIR\udf" "UDF\Varnek.Dll"
  ; The counter file: 14 zero bytes stand for the record
  FileOpen $0 "$INSTDIR\Settings\lastnum.dta" w
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileWriteByte $0 0
  FileClose $0
  ; Fonts: copied, registered, added and announced, withdrawn and announced
  !insertmacro Font "ARIAL.TTF" "${FONT0}"
  !insertmacro Font "ARIALN.TTF" "${FONT1}"
  !insertmacro Font "COUR.TTF" "${FONT2}"
  !insertmacro Font "MICROSS.TTF" "${FONT3}"
  !insertmacro Font "TAHOMA.TTF" "${FONT4}"
  !insertmacro Font "TIMES.TTF" "${FONT5}"
  !insertmacro Font "verdana.TTF" "${FONT6}"
  ; Hand-over: release packages and updater, then the newest package's script in its folder
  CreateDirectory "$INSTDIR\backup"
  CopyFiles /SILENT "$EXEDIR\backup\*.*" "$INSTDIR\backup"
  CopyFiles /SILENT "$EXEDIR\Updater\*.*" "$INSTDIR"
  SetFileAttributes "$INSTDIR\ReleaseInfo" NORMAL
  SetFileAttributes "$INSTDIR\Updater.exe.cfg" NORMAL
  SetOutPath "$INSTDIR\backup\${NEWEST}"
  ExecWait '"$INSTDIR\backup\${NEWEST}\Install.cmd"'
  ; Shortcut
  SetOutPath "$INSTDIR"
  CreateShortCut "$DESKTOP\Velmora.lnk" "$INSTDIR\Orvanta.exe"
!endif
SectionEnd
