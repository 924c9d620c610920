@echo off
rem send-alarm.cmd "TEXT": texts the engineer on call through the gateway of an instance
rem folder and says whether the alarm went out, for a scheduled task or another program.
rem Its exit code is qzgsms-send's: 0 sent, 1 failed, 2 not queued, 3 no answer in time.
set QZGSMS_SEND="C:\Program Files\qzgsms\qzgsms-send.exe"
set INSTANCE=D:\qzt\gsm1
set NUMBER=+41790000000

%QZGSMS_SEND% --instance %INSTANCE% --wait=120 %NUMBER% "%~1"
set RESULT=%ERRORLEVEL%
if %RESULT%==0 echo The alarm was sent.
if %RESULT%==1 echo The gateway could not send the alarm.
if %RESULT%==2 echo The alarm was not queued.
if %RESULT%==3 echo No answer from the gateway in time: the alarm is still queued.
exit /b %RESULT%
