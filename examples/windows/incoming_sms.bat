@echo off
rem incoming_sms.bat: run by qzgsms for each SMS the modem receives (CmdLineFormat).
rem   %1  the sender in double quotes: "+41795550001"
rem   %2  the text in double quotes (ISO 8859-1, its lines joined by blanks, any quote
rem       inside doubled)
rem Use %1 and %2 as they come, inside their quotes: written %~1 or %~2, without the
rem quotes, the text of a received SMS would be read by cmd.exe as commands.
rem
rem The gateway does not wait for this command: a burst of messages runs many at once.
rem cmd.exe opens a file it redirects to for itself alone, so two appending at the same
rem moment would lose a line. Each takes its turn instead: it holds received-sms.lock
rem open while it appends, and while another holds it, waits a second and tries again
rem (for a minute at most).
setlocal
set tries=0
:take_turn
2>nul (
  9>"%~dp0received-sms.lock" (
    >>"%~dp0received-sms.txt" echo %DATE% %TIME% %1 %2
  )
) && exit /b 0
set /a tries+=1
if %tries% geq 60 exit /b 1
ping -n 2 127.0.0.1 >nul
goto take_turn
