// The texts people encode most, built from their fields with each format's escaping and limits:
// Wi-Fi access, contact cards (MECARD, vCard 3.0), European credit transfers (the payment
// standard's version 002 in UTF-8), geographic positions, e-mail, telephone and SMS.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Fields by name, in order; a name may repeat where the format holds several (phone, email).
using QRCodePayloadFields = std::vector<std::pair<std::string, std::string>>;

// The kinds: "wifi" (ssid, password, security WPA|WEP|nopass, hidden true|false), "mecard" and
// "vcard" (name, org, phone, email, address, url, note), "epc" (bic, name, iban, amount in euros,
// reference or text), "geo" (lat, lon), "mailto" (to, subject, body), "tel" (number), "sms"
// (number, body).
// Builds the text of `kind` into *text. False with *why (one line naming the field) for an
// unknown kind or field, a missing field, or a value the format cannot hold: an IBAN whose
// check digits fail, a Wi-Fi password of the wrong length, a field longer than its limit.
bool QRCodeBuildPayload(const std::string& kind, const QRCodePayloadFields& fields, std::string* text,
                        std::string* why);

// True when the format asks for a particular error-correction level (epc: M); *level gets it
// (0 L, 1 M, 2 Q, 3 H).
bool QRCodePayloadLevel(const std::string& kind, int* level);

// True when the IBAN (spaces allowed) has a country code, check digits that hold (mod 97 = 1)
// and 15 to 34 characters.
bool QRCodeIbanValid(const std::string& iban);
