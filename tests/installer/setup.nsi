; A small installer for the tests: its wizard (the install-files page only)
; shows for a few seconds and closes by itself. With CHAIN it hands a
; follow-up to Kestrune.exe the way a real installer would, and goes on.
;   makensis -DTARGET=x86-unicode -DCAPTION=... -DOUTFILE=... [-DCHAIN] setup.nsi
Unicode true
Target ${TARGET}
Name "${CAPTION}"
Caption "${CAPTION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall normal
AutoCloseWindow true
ShowInstDetails show
Page instfiles

Section
!ifdef CHAIN
	; /r returns at once: a new instance waits for this wizard to come and go.
	ExecWait '"$EXEDIR\Kestrune.exe" /r "/c=${CAPTION}" "/n=\"$EXEDIR\kt_record.exe\" after-setup \"two words\" C:\dir\\"'
!endif
	DetailPrint "Installing..."
	Sleep 3000
SectionEnd
