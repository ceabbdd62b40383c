@echo off
rem Runs ovuninst.exe (the one beside this file) unattended for a fleet tool: "Y" answers the
rem confirmation and every keep-or-erase question keeps the user's data. The transcript and
rem copies of the removal log and the undo files are kept in the folder given as the argument
rem (default %TEMP%), and the text the transcript ends with becomes the exit code:
rem   0  completed
rem   1  a component failed or the setup library was missing (the residue sweep still ran)
rem   2  refused: run as a restricted user, nothing was changed
rem   3  the program did not start or printed nothing recognisable
rem One summary line is printed: the outcome and the removal log's counts.
setlocal

set "OUT=%~1"
if "%OUT%"=="" set "OUT=%TEMP%"
if not exist "%OUT%\" mkdir "%OUT%"
set "TRANSCRIPT=%OUT%\ovuninst-transcript.txt"
set "LOG=%TEMP%\ovuninst.log"
if exist "%TRANSCRIPT%" del /f /q "%TRANSCRIPT%"
rem The previous run's log is kept as ovuninst.1.log, as the program itself keeps it: a log found
rem afterwards is then this run's.
set "ATTRIBUTES="
for %%L in ("%LOG%") do set "ATTRIBUTES=%%~aL"
if defined ATTRIBUTES if not "%ATTRIBUTES:~0,1%"=="d" move /y "%LOG%" "%TEMP%\ovuninst.1.log" >nul

echo Y| "%~dp0ovuninst.exe" > "%TRANSCRIPT%"

rem Each outcome ends the transcript with its own text; the last one found decides, in the order
rem the program can print them (the success line and the refusal come last when they come at all).
set "CODE=3"
set "OUTCOME=the program did not start or printed nothing recognisable"
set "FIND=%SystemRoot%\System32\find.exe"
if not exist "%TRANSCRIPT%" goto :outcome
"%FIND%" "Uninstalling " "%TRANSCRIPT%" >nul
if not errorlevel 1 set "CODE=1"
"%FIND%" "Cannot load " "%TRANSCRIPT%" >nul
if not errorlevel 1 set "CODE=1"
"%FIND%" "Not enough virtual memory to perform uninstallation." "%TRANSCRIPT%" >nul
if not errorlevel 1 set "CODE=1"
"%FIND%" "Unexpected error " "%TRANSCRIPT%" >nul
if not errorlevel 1 set "CODE=1"
"%FIND%" "You cannot run this application as a restricted user." "%TRANSCRIPT%" >nul
if not errorlevel 1 set "CODE=2"
"%FIND%" "This application completed successfully." "%TRANSCRIPT%" >nul
if not errorlevel 1 set "CODE=0"
:outcome
if "%CODE%"=="0" set "OUTCOME=completed"
if "%CODE%"=="1" set "OUTCOME=a component failed or the setup library was missing"
if "%CODE%"=="2" set "OUTCOME=refused: not run as an administrator"

set "COUNTS=no removal log"
if exist "%LOG%" (
    for /f "usebackq tokens=1,*" %%A in ("%LOG%") do if "%%A"=="counts" set "COUNTS=%%B"
    for %%F in ("%OUT%") do for %%T in ("%TEMP%") do if /i not "%%~fF"=="%%~fT" (
        copy /y "%LOG%" "%OUT%\ovuninst.log" >nul
        for %%U in (ovuninst-undo.reg ovuninst-undo-cdplayer.ini) do (
            if exist "%TEMP%\%%U" copy /y "%TEMP%\%%U" "%OUT%\%%U" >nul
        )
    )
)
echo ovuninst: %OUTCOME% (exit %CODE%); %COUNTS%
exit /b %CODE%
