// The GSM character table: conversion between the gateway's 8-bit text (ISO 8859-1) and
// the modem's GSM default alphabet (3GPP TS 23.038) in text mode. Characters that have
// no single-octet counterpart become a space in either direction; escape-extended GSM
// characters are never produced.
#pragma once

#include <string>
#include <string_view>

namespace qz {

// Indexed by the ISO 8859-1 byte; gives the GSM default alphabet code.
extern const unsigned char kGsmSendTable[256];
// Indexed by the GSM code as the modem delivers it; gives the ISO 8859-1 byte.
extern const unsigned char kGsmReceiveTable[256];

inline unsigned char to_gsm(unsigned char latin1) { return kGsmSendTable[latin1]; }
inline unsigned char from_gsm(unsigned char gsm) { return kGsmReceiveTable[gsm]; }

// Whole texts, byte for byte; the length never changes.
std::string to_gsm(std::string_view latin1);
std::string from_gsm(std::string_view gsm);

}  // namespace qz
