#!/bin/sh
# incoming_sms.bat: run by qzgsms for each SMS the modem receives (CmdLineFormat).
#   $1  the sender as the modem lists it, in double quotes: "+41795550001"
#   $2  the text in ISO 8859-1, its lines joined by CR, ending with a CR
# It runs in the instance folder, as the gateway's user, with its standard streams on
# /dev/null: it logs for itself. Nothing in the text is run: it is only data here too.
# The gateway does not wait for it: a burst of messages runs many of these at once, so
# each appends its line while it holds the file's lock, and no line is lost or mixed.
set -eu

sender=$(printf '%s' "${1-}" | tr -d '"')
text=$(printf '%s' "${2-}" | tr '\r\n' '  ' | iconv -f ISO-8859-1 -t UTF-8)
text=${text% }

logger -t qzgsms-incoming -- "SMS from $sender: $text" || true
line=$(printf '%s\t%s\t%s' "$(date '+%Y-%m-%d %H:%M:%S')" "$sender" "$text")
exec 9>>received-sms.txt
flock 9
printf '%s\n' "$line" >&9
