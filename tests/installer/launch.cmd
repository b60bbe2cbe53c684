@echo off
rem A CD menu's launcher: hands the follow-up to Kestrune.exe, then starts the
rem installer; it is held up by neither.
"%~dp0Kestrune.exe" /r "/c=Kt Watched Setup" "/n=\"%~dp0kt_record.exe\" after-watched \"a b\""
start "" "%~dp0kt_watched_setup.exe"
