#!/usr/bin/python3
# Decodes SMS PDUs (hex, SMSC field first, one an argument) with libgammu, a decoder
# the gateway shares nothing with. One line a PDU, fields separated by tabs: number,
# coding, message class, concatenation reference (8-bit), part number, parts, the text in
# UTF-8 as hex, the 16-bit concatenation reference, the PDU's type. Exit code 3 when python3-gammu is missing, 1 when a PDU does not decode.
import sys

try:
    import gammu
except ImportError:
    sys.exit(3)

# The characters of the GSM extension table: two septets each.
EXTENSION = "^{}\\[~]|\u20ac"

for pdu in sys.argv[1:]:
    try:
        sms = gammu.DecodePDU(bytes.fromhex(pdu), SMSC=True)
    except Exception as error:  # what libgammu refuses is the answer
        print("undecodable\t" + str(error))
        sys.exit(1)
    text = sms["Text"]
    if isinstance(text, bytes):  # 8-bit data: no text, as the gateway sees it
        text = ""
    if sms["Coding"] == "Default_No_Compression":
        # python-gammu hands over as many characters as the text has septets, so every
        # escaped character leaves one slot of junk at the end.
        septets = 0
        for length, character in enumerate(text):
            if septets >= sms["Length"]:
                text = text[:length]
                break
            septets += 2 if character in EXTENSION else 1
    # Characters outside the basic plane come as surrogate pairs; joined here.
    text = text.encode("utf-16-be", "surrogatepass").decode("utf-16-be")
    udh = sms["UDH"]
    print("\t".join(str(field) for field in (
        sms["Number"], sms["Coding"], sms["Class"], udh["ID8bit"], udh["PartNumber"],
        udh["AllParts"], text.encode("utf-8").hex(), udh["ID16bit"], sms["Type"])))
