#!/bin/sh
# qzarun.cmd: the technical alarm of qzgsms, run when the gateway is out of order (the
# serial port cannot be opened, the modem does not answer, the network is lost), at most
# once per SleepMinAfterAlarm minutes. $1 is TechAlarmNbr from QZGSMS.INI.
#
# It runs in the instance folder, as the gateway's user, with its standard streams on
# /dev/null: it logs for itself. Under the systemd unit it may write only in the instance
# folder (and folders given with ReadWritePaths=), but may use the network.
set -eu

logger -p daemon.crit -t qzgsms-techalarm -- "technical alarm ${1-} from the gateway in $(pwd)" || true
printf '%s technical alarm %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "${1-}" >> technical-alarms.txt

# Pass the alarm on here, for example to the alarm application, or as a job file for a
# second gateway with a modem of its own (its watch folder then needs ReadWritePaths=):
#
#   jobs=/var/lib/qzgsms/ttyUSB1/jobs
#   name=techalarm-$(date +%s)
#   printf '[Alarm]\r\nPhoneNumber=+41790000009\r\nMessage=GSM gateway %s out of order\r\n' \
#       "$(pwd)" > "$jobs/$name.tmp"
#   mv "$jobs/$name.tmp" "$jobs/$name.sms"
