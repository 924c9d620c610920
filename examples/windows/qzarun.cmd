@echo off
rem qzarun.cmd: the technical alarm of qzgsms, run when the gateway is out of order (the
rem serial port cannot be opened, the modem does not answer, the network is lost), at most
rem once per SleepMinAfterAlarm minutes. %1 is TechAlarmNbr from QZGSMS.INI. It runs in the
rem instance folder, minimised in a console of its own: it logs for itself.
>>"%~dp0technical-alarms.txt" echo %DATE% %TIME% technical alarm %1
rem Pass the alarm on here, for example as a job file for a second gateway with a modem of
rem its own (written under another name first, then renamed in):
rem   >"D:\qzt\gsm2\jobs\techalarm.tmp" echo [Alarm]
rem   >>"D:\qzt\gsm2\jobs\techalarm.tmp" echo PhoneNumber=+41790000009
rem   >>"D:\qzt\gsm2\jobs\techalarm.tmp" echo Message=GSM gateway out of order
rem   move "D:\qzt\gsm2\jobs\techalarm.tmp" "D:\qzt\gsm2\jobs\techalarm.sms"
