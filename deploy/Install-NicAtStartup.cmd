@echo off
rem Group Policy startup script (Computer Configuration, Policies, Windows Settings, Scripts,
rem Startup), with Detect-NicDriver.ps1 beside it in the policy's Scripts folder. It runs as
rem SYSTEM at each start. Needs Windows 8.1 or later (for the detection script); the batch
rem itself runs on any Windows the package supports.
rem
rem Installs unless the detection script finds a driver of the package's version or newer.
rem The package is copied from the share to a local folder only administrators can write, run
rem from there (the install replaces the network driver the share is reached through) and the
rem copy removed afterwards.
rem
rem Group Policy waits at most 10 minutes for all startup scripts together ("Maximum wait time
rem for Group Policy scripts"); LINGER=2 keeps the wait for processes the driver installer leaves
rem running short. Raise both together. The exit code goes to the Group Policy log only.

setlocal
set "SOURCE=\\server\share\NicPackage"
set "LOCAL=%SystemRoot%\NicPackage"

set "FOUND="
for /f "usebackq delims=" %%L in (`powershell.exe -NoProfile -ExecutionPolicy Bypass -File "%~dp0Detect-NicDriver.ps1"`) do set "FOUND=%%L"
if defined FOUND exit /b 0

rem An earlier copy can only be this script's own: nobody else may write there.
if exist "%LOCAL%" rd /s /q "%LOCAL%"
rem Robocopy's exit codes 0 to 7 mean the copy succeeded.
robocopy "%SOURCE%" "%LOCAL%" /E /R:2 /W:5 /NP /NFL /NDL /NJH /NJS >nul
if errorlevel 8 exit /b 1

rem A batch file waits for the program and gets its exit code (at a prompt it would not).
"%LOCAL%\NicUpdate.exe" /s "/vINSTALLERCODE=TRUE LINGER=2 LOGFILE=%SystemRoot%\Logs\nic-result.log"
set "RESULT=%errorlevel%"
rd /s /q "%LOCAL%"
exit /b %RESULT%
