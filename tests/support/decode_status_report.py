#!/usr/bin/python3
# Decodes SMS-STATUS-REPORT PDUs (hex, SMSC field first, one an argument) with libgammu, a
# decoder the gateway shares nothing with. One line a PDU, fields separated by tabs:
# message reference, recipient, discharge time, status. Exit code 3 when python3-gammu is
# missing, 1 when a PDU does not decode as a status report.
import sys

try:
    import gammu
except ImportError:
    sys.exit(3)

for pdu in sys.argv[1:]:
    try:
        sms = gammu.DecodePDU(bytes.fromhex(pdu), SMSC=True)
    except Exception as error:  # what libgammu refuses is the answer
        print("undecodable\t" + str(error))
        sys.exit(1)
    if sms["Type"] != "Status_Report":
        print("not a status report\t" + sms["Type"])
        sys.exit(1)
    # libgammu names the discharge time SMSCDateTime.
    print("\t".join(str(field) for field in (
        sms["MessageReference"], sms["Number"], sms["SMSCDateTime"].strftime("%Y-%m-%d %H:%M:%S"),
        sms["DeliveryStatus"])))
