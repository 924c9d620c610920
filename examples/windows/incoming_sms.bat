@echo off
rem incoming_sms.bat: run by qzgsms for each SMS the modem receives (CmdLineFormat).
rem   %1  the sender in double quotes: "+41795550001"
rem   %2  the text in double quotes (ISO 8859-1, its lines joined by blanks, any quote
rem       inside doubled)
rem Use %1 and %2 as they come, inside their quotes: written %~1 or %~2, without the
rem quotes, the text of a received SMS would be read by cmd.exe as commands.
rem
rem The gateway does not wait for this command: a burst of messages runs many at once,
rem and two appending to one file at the same moment can lose a line. Each takes its
rem turn: making a folder succeeds for one command only, so the one that made
rem received-sms.lock appends and removes it; the others wait and try again. A lock
rem older than a minute was left by a command that was ended: it is broken.
setlocal
set lock="%~dp0received-sms.lock"
set tries=0
:take_turn
rem The error level, not "&&": Wine's cmd.exe takes "&&" after a failed md as success.
md %lock% 2>nul
if not errorlevel 1 goto append
set /a tries+=1
if %tries% geq 60 (
  rd %lock% 2>nul
  set tries=0
)
rem About a second: ping waits that long between its two echoes of this machine.
ping -n 2 127.0.0.1 >nul 2>nul
goto take_turn
:append
>>"%~dp0received-sms.txt" echo %DATE% %TIME% %1 %2
rd %lock%
exit /b 0
