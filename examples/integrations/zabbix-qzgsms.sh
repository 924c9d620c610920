#!/bin/sh
# Zabbix media type "Script": copy this file into the server's AlertScriptsPath
# (/usr/lib/zabbix/alertscripts) as qzgsms.sh, make it executable, and give the media type
# the script name qzgsms.sh and the parameters {ALERT.SENDTO}, {ALERT.SUBJECT} and
# {ALERT.MESSAGE}. The user zabbix must be in the group qzgsms. The exit code tells Zabbix
# whether the alarm went out; the wait ends before a script time-out of 30 s.
printf '%s\n%s\n' "$2" "$3" | exec /usr/bin/qzgsms-send --instance /var/lib/qzgsms/ttyUSB0 --wait=25 "$1" -
