@echo off
rem Removes what install.cmd installed: stops and deletes the kernel service
rem "kestrix", deletes kestrix.sys from the drivers folder and takes the
rem shipped certificate out of the machine's Root and TrustedPublisher
rem stores. Run it from an elevated command prompt. What is already gone is
rem said and passed over, so it can run any number of times.
rem
rem The release build writes the shipped certificate's SHA-1 thumbprint into
rem the line below (empty when it ships none).
setlocal EnableExtensions DisableDelayedExpansion
set "CERT_SHA1=@CERT_SHA1@"

set "ME=uninstall.cmd"
set "SERVICE=kestrix"
set "TARGET=%SystemRoot%\System32\drivers\kestrix.sys"
set "STORES=HKLM\SOFTWARE\Microsoft\SystemCertificates"
set "SHOW_LOG="
rem By full path: another find.exe (a Unix one) may come first in PATH.
set "FIND=%SystemRoot%\System32\find.exe"
set "LOG=%TEMP%\lumivar-uninstall.log"

if "%~1"=="/?" goto :usage
if not "%~1"=="" (
    >&2 echo %ME%: takes no arguments
    >&2 echo Usage: uninstall.cmd
    exit /b 2
)

rem --- 1. administrator ------------------------------------------------
set "STEP=1 of 4, administrator check"
rem fltmc answers only an administrator; where there is none (Wine), net
rem session, which also needs one.
fltmc >nul 2>&1
if "%errorlevel%"=="0" goto :administrator
if not "%errorlevel%"=="9009" goto :not_administrator
net session >nul 2>&1
if "%errorlevel%"=="0" goto :administrator
:not_administrator
set "WHY=not running as administrator. Right-click Command Prompt, choose Run as administrator, and run uninstall.cmd again from there"
goto :fail
:administrator
echo [1/4] running as administrator

rem --- 2. service ------------------------------------------------------
set "STEP=2 of 4, service"
sc query %SERVICE% >nul 2>&1
if errorlevel 1 (
    echo [2/4] no kestrix service
    goto :service_done
)
call :wait_state STOPPED 1
if not errorlevel 1 goto :stopped
sc stop %SERVICE% >"%LOG%" 2>&1
call :wait_state STOPPED 20
if errorlevel 1 (
    set "WHY=the kestrix service did not stop. Close lumivar.exe, which holds the driver open, and run uninstall.cmd again"
    goto :fail_log
)
:stopped
sc delete %SERVICE% >"%LOG%" 2>&1
if errorlevel 1 (
    set "WHY=sc delete kestrix failed"
    goto :fail_log
)
echo [2/4] stopped and deleted the kestrix service
:service_done

rem --- 3. file ---------------------------------------------------------
set "STEP=3 of 4, file"
if not exist "%TARGET%" (
    echo [3/4] no %TARGET%
    goto :file_done
)
del /f "%TARGET%" >"%LOG%" 2>&1
if exist "%TARGET%" (
    set "WHY=cannot delete %TARGET%"
    goto :fail_log
)
echo [3/4] deleted %TARGET%
:file_done

rem --- 4. certificate --------------------------------------------------
set "STEP=4 of 4, certificate"
if not defined CERT_SHA1 (
    echo [4/4] no certificate was shipped
    goto :certificate_done
)
rem certutil fails for a certificate that is not there: the stores tell
rem what is left.
certutil -delstore Root %CERT_SHA1% >"%LOG%" 2>&1
certutil -delstore TrustedPublisher %CERT_SHA1% >>"%LOG%" 2>&1
set "LEFT="
reg query "%STORES%\ROOT\Certificates\%CERT_SHA1%" >nul 2>&1
if not errorlevel 1 set "LEFT=Root"
reg query "%STORES%\TrustedPublisher\Certificates\%CERT_SHA1%" >nul 2>&1
if not errorlevel 1 set "LEFT=%LEFT% TrustedPublisher"
if defined LEFT (
    set "WHY=certutil -delstore left the certificate with SHA-1 %CERT_SHA1% in: %LEFT%"
    goto :fail_log
)
echo [4/4] the certificate with SHA-1 %CERT_SHA1% is in neither the Root nor the TrustedPublisher store
:certificate_done

echo Test signing is as it was. If nothing else needs it, turn it off with
echo     bcdedit /set testsigning off
echo and restart Windows.
exit /b 0

rem wait_state STATE SECONDS: errorlevel 0 once sc query shows STATE.
:wait_state
set /a "TRIES=%~2+0"
:wait_state_again
sc query %SERVICE% 2>nul | "%FIND%" "%~1" >nul
if not errorlevel 1 exit /b 0
set /a "TRIES-=1"
if %TRIES% leq 0 exit /b 1
ping -n 2 127.0.0.1 >nul
goto :wait_state_again

:fail_log
set "SHOW_LOG=1"
:fail
>&2 echo %ME% failed at step %STEP%: %WHY%
if defined SHOW_LOG if exist "%LOG%" (
    >&2 echo   the last command said:
    >&2 type "%LOG%"
)
exit /b 1

:usage
echo Usage: uninstall.cmd
echo.
echo Stops and deletes the kernel service kestrix, deletes kestrix.sys from
echo %SystemRoot%\System32\drivers and removes the certificate install.cmd
echo added. Run it as administrator.
exit /b 0
