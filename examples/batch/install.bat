@echo off
rem The installer of Batch Notes, a plain batch file run from the folder that
rem holds it and the staged application (stage\app, Uninstall.exe and the
rem Uninstall.dat that installlog captured from this same script among it):
rem
rem   cmd /c install.bat [run]
rem
rem It copies the application folder and writes its registry keys. With "run"
rem it also starts the application with Windows: a value in the Run key,
rem which the system shares and no log can undo (installlog capture says so).
rem Each step is checked with "if errorlevel": Wine's cmd runs what follows
rem "||" even after a success.
set APP=%ProgramFiles%\Batch Vendor\Batch Notes
xcopy /E /I /Y /Q stage\app "%APP%" >nul
if errorlevel 1 exit /b 1
reg add "HKLM\Software\Batch Vendor\Batch Notes" /v InstallDir /d "%APP%" /f >nul
if errorlevel 1 exit /b 1
reg add "HKCU\Software\Batch Vendor\Batch Notes\Settings" /v Color /d blue /f >nul
if errorlevel 1 exit /b 1
if "%1"=="run" reg add "HKLM\Software\Microsoft\Windows\CurrentVersion\Run" /v "Batch Notes" /d "%APP%\SampleNotes.exe" /f >nul
exit /b 0
