@echo off
rem Installs kestrix.sys, the driver lumivar.exe reads PCI configuration
rem space through, as the kernel service "kestrix", and starts it.
rem Run it from an elevated command prompt; see install.cmd /? for the
rem arguments. Every step either says what it did or why it stopped; a
rem second run replaces the first installation.
rem
rem The release build writes the shipped certificate's file name and SHA-1
rem thumbprint into the two lines below (both empty when it ships none).
setlocal EnableExtensions DisableDelayedExpansion
set "CERT_FILE=@CERT_FILE@"
set "CERT_SHA1=@CERT_SHA1@"

set "ME=install.cmd"
set "HERE=%~dp0"
set "SERVICE=kestrix"
set "KEY=HKLM\System\CurrentControlSet\Services\kestrix"
set "IMAGE_PATH=\SystemRoot\System32\drivers\kestrix.sys"
set "TARGET=%SystemRoot%\System32\drivers\kestrix.sys"
set "STORES=HKLM\SOFTWARE\Microsoft\SystemCertificates"
set "SHOW_LOG="
rem By full path: another find.exe (a Unix one) may come first in PATH.
set "FIND=%SystemRoot%\System32\find.exe"
set "LOG=%TEMP%\lumivar-install.log"
set "SOURCE="
set "SKIP_SIGNING_CHECKS="

rem --- arguments -------------------------------------------------------
:next_argument
if "%~1"=="" goto :arguments_done
set "ARG=%~1"
shift
if "%ARG%"=="/?" goto :usage
if /i "%ARG%"=="/skip-signing-checks" (
    set "SKIP_SIGNING_CHECKS=1"
    goto :next_argument
)
if "%ARG:~0,1%"=="/" (
    >&2 echo %ME%: unknown switch %ARG%
    goto :usage_error
)
if defined SOURCE (
    >&2 echo %ME%: more than one source: %SOURCE% and %ARG%
    goto :usage_error
)
set "SOURCE=%ARG%"
goto :next_argument
:arguments_done

set "STEP=source"
if not defined SOURCE set "SOURCE=hal"
if /i "%SOURCE%"=="hal" goto :source_known
if /i "%SOURCE%"=="unix-sysfs" goto :source_known
rem A dump: the driver reads it when it starts, from its own current
rem directory, so it gets the full path.
for %%F in ("%SOURCE%") do set "SOURCE=%%~fF"
if exist "%SOURCE%\*" (
    set "WHY=%SOURCE% is a folder, not a dump"
    goto :fail
)
if not exist "%SOURCE%" (
    set "WHY=no dump at %SOURCE%"
    goto :fail
)
:source_known

rem --- 1. administrator ------------------------------------------------
set "STEP=1 of 7, administrator check"
if /i not "%PROCESSOR_ARCHITECTURE%"=="AMD64" (
    set "WHY=this is a %PROCESSOR_ARCHITECTURE% command prompt; kestrix.sys is for 64-bit Windows on x64: run install.cmd from a 64-bit cmd.exe on x64 Windows"
    goto :fail
)
rem fltmc answers only an administrator; where there is none (Wine), net
rem session, which also needs one.
fltmc >nul 2>&1
if "%errorlevel%"=="0" goto :administrator
if not "%errorlevel%"=="9009" goto :not_administrator
net session >nul 2>&1
if "%errorlevel%"=="0" goto :administrator
:not_administrator
set "WHY=not running as administrator. Right-click Command Prompt, choose Run as administrator, and run install.cmd again from there"
goto :fail
:administrator
echo [1/7] running as administrator

rem --- 2. test signing -------------------------------------------------
set "STEP=2 of 7, test signing check"
if defined SKIP_SIGNING_CHECKS (
    echo [2/7] test signing: not checked ^(/skip-signing-checks^)
    goto :test_signing_done
)
rem The options this boot started with: what bcdedit set before the last
rem restart.
reg query "HKLM\SYSTEM\CurrentControlSet\Control" /v SystemStartOptions 2>nul | "%FIND%" /i "TESTSIGNING" >nul
if "%errorlevel%"=="0" (
    echo [2/7] test signing is on in this boot
    goto :test_signing_done
)
>&2 echo %ME% stopped at step %STEP%: test signing is off.
>&2 echo   64-bit Windows loads a test-signed driver such as kestrix.sys only in test
>&2 echo   signing mode. To turn it on, with Secure Boot off in the firmware settings,
>&2 echo   run in this elevated prompt:
>&2 echo       bcdedit /set testsigning on
>&2 echo   then restart Windows ^("Test Mode" shows on the desktop^) and run install.cmd
>&2 echo   again. Nothing has been changed.
exit /b 1
:test_signing_done

rem --- 3. certificate --------------------------------------------------
set "STEP=3 of 7, certificate"
if not defined CERT_FILE (
    echo [3/7] no certificate shipped: the signature must chain to one this machine trusts
    goto :certificate_done
)
if not exist "%HERE%%CERT_FILE%" (
    set "WHY=%CERT_FILE% is missing from %HERE%"
    goto :fail
)
for %%S in (Root TrustedPublisher) do (
    certutil -addstore %%S "%HERE%%CERT_FILE%" >"%LOG%" 2>&1
    if errorlevel 1 (
        set "WHY=certutil -addstore %%S %CERT_FILE% failed"
        goto :fail_log
    )
)
rem certutil can say it succeeded without adding anything (Wine's does):
rem the stores themselves tell.
set "MISSING="
reg query "%STORES%\ROOT\Certificates\%CERT_SHA1%" >nul 2>&1
if errorlevel 1 set "MISSING=Root"
reg query "%STORES%\TrustedPublisher\Certificates\%CERT_SHA1%" >nul 2>&1
if errorlevel 1 set "MISSING=%MISSING% TrustedPublisher"
if not defined MISSING (
    echo [3/7] certificate %CERT_FILE% ^(SHA-1 %CERT_SHA1%^) is in the machine's Root and TrustedPublisher stores
    goto :certificate_done
)
set "WHY=certutil reported success, but %CERT_FILE% (SHA-1 %CERT_SHA1%) is not in the machine's store(s): %MISSING%"
if not defined SKIP_SIGNING_CHECKS goto :fail
echo [3/7] warning: %WHY% ^(left so: /skip-signing-checks^)
:certificate_done

rem --- 4. an earlier installation -------------------------------------
set "STEP=4 of 7, earlier installation"
sc query %SERVICE% >nul 2>&1
if errorlevel 1 (
    echo [4/7] no earlier kestrix service
    goto :earlier_done
)
call :stop_service
if errorlevel 1 (
    set "WHY=the running kestrix service did not stop. Close lumivar.exe, which holds the driver open, and run install.cmd again"
    goto :fail_log
)
sc delete %SERVICE% >"%LOG%" 2>&1
if errorlevel 1 (
    set "WHY=sc delete kestrix failed"
    goto :fail_log
)
echo [4/7] stopped and removed the earlier kestrix service
:earlier_done

rem --- 5. copy ---------------------------------------------------------
set "STEP=5 of 7, copy"
if not exist "%HERE%kestrix.sys" (
    set "WHY=kestrix.sys is missing from %HERE%"
    goto :fail
)
copy /b /y "%HERE%kestrix.sys" "%TARGET%" >"%LOG%" 2>&1
if errorlevel 1 (
    set "WHY=cannot copy kestrix.sys to %TARGET%"
    goto :fail_log
)
echo [5/7] copied kestrix.sys to %TARGET%

rem --- 6. service ------------------------------------------------------
set "STEP=6 of 7, service"
sc create %SERVICE% type= kernel start= auto error= normal binPath= %IMAGE_PATH% DisplayName= "Lumivar configuration access (kestrix)" >"%LOG%" 2>&1
if errorlevel 1 (
    set "WHY=sc create kestrix failed. If it says the service is marked for deletion, close the Services window or restart Windows, then run install.cmd again"
    goto :fail_log
)
reg add "%KEY%\Parameters" /v Source /t REG_SZ /d "%SOURCE%" /f >"%LOG%" 2>&1
if errorlevel 1 (
    set "WHY=cannot write Source to %KEY%\Parameters"
    goto :fail_log
)
echo [6/7] created the kernel service kestrix ^(starts at every boot^), Source = %SOURCE%

rem --- 7. start --------------------------------------------------------
set "STEP=7 of 7, start"
sc start %SERVICE% >"%LOG%" 2>&1
if errorlevel 1 (
    set "WHY=the driver did not start. Error 577 means Windows does not trust its signature: is test signing on, and the certificate installed? A dump the driver cannot read also stops it: its reason is in the kernel debug output, in lines that start with kestrix:"
    goto :fail_log
)
call :wait_state RUNNING
if errorlevel 1 (
    set "WHY=sc start kestrix returned, but the service is not running"
    goto :fail_log
)
echo [7/7] kestrix is running: run lumivar.exe as administrator
exit /b 0

rem --- subroutines -----------------------------------------------------
rem Stops the service when it runs; errorlevel 1 when it does not stop.
:stop_service
call :wait_state STOPPED 1
if not errorlevel 1 exit /b 0
sc stop %SERVICE% >"%LOG%" 2>&1
call :wait_state STOPPED 20
exit /b

rem wait_state STATE [SECONDS]: errorlevel 0 once sc query shows STATE.
:wait_state
set /a "TRIES=%~2+0"
if %TRIES% lss 1 set "TRIES=10"
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
echo Usage: install.cmd [SOURCE] [/skip-signing-checks]
echo.
echo Installs kestrix.sys as the kernel service kestrix and starts it, so that
echo lumivar.exe can read PCI configuration space. Run it as administrator.
echo.
echo   SOURCE   where the driver reads configuration space:
echo            hal (the default): this machine's PCI buses
echo            a file: a dump in the lspci -xxx text format
echo            unix-sysfs: under Wine only, the Linux host's functions
echo   /skip-signing-checks
echo            for Wine, which loads drivers without checking signatures,
echo            has no test signing mode and whose certutil adds nothing:
echo            skips the test signing check and only warns when the
echo            certificate did not reach the stores. Never needed on Windows.
exit /b 0

:usage_error
>&2 echo Usage: install.cmd [SOURCE] [/skip-signing-checks]   (install.cmd /? tells more)
exit /b 2
