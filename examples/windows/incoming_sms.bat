@echo off
rem incoming_sms.bat: run by qzgsms for each SMS the modem receives (CmdLineFormat).
rem   %1  the sender in double quotes: "+41795550001"
rem   %2  the text in double quotes (ISO 8859-1, its lines joined by blanks, any quote
rem       inside doubled)
rem Use %1 and %2 as they come, inside their quotes: written %~1 or %~2, without the
rem quotes, the text of a received SMS would be read by cmd.exe as commands.
>>"%~dp0received-sms.txt" echo %DATE% %TIME% %1 %2
