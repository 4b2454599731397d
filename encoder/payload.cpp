#include "encoder/payload.h"

#include <cctype>
#include <cstdlib>
#include <set>

namespace {

struct Reader {
    const QRCodePayloadFields& fields;
    std::string* why;
    std::set<std::string> allowed;

    std::vector<std::string> All(const std::string& name) const {
        std::vector<std::string> values;
        for (const auto& f : fields)
            if (f.first == name) values.push_back(f.second);
        return values;
    }
    std::string One(const std::string& name) const {
        const auto values = All(name);
        return values.empty() ? std::string() : values.back();
    }
    bool Check(const std::string& kind, std::initializer_list<const char*> names,
               std::initializer_list<const char*> required) {
        for (const char* n : names) allowed.insert(n);
        for (const auto& f : fields) {
            if (!allowed.count(f.first)) {
                *why = kind + " has no field '" + f.first + "'";
                return false;
            }
        }
        for (const char* n : required) {
            if (One(n).empty()) {
                *why = kind + " needs " + n;
                return false;
            }
        }
        return true;
    }
    bool Limit(const std::string& name, size_t most) {
        for (const std::string& v : All(name)) {
            if (v.size() > most) {
                *why = name + " holds at most " + std::to_string(most) + " bytes";
                return false;
            }
        }
        return true;
    }
};

// Backslash before each of `special`.
std::string Escape(const std::string& value, const char* special) {
    std::string out;
    for (char c : value) {
        if (std::string(special).find(c) != std::string::npos) out += '\\';
        out += c;
    }
    return out;
}

// vCard text values: backslash, comma and semicolon escaped, line ends as \n.
std::string VcardText(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\r') continue;
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\\' || c == ',' || c == ';') out += '\\';
        out += c;
    }
    return out;
}

// URI components: unreserved characters kept, every other byte as %XX.
std::string Percent(const std::string& value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : value) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool PhoneNumber(const std::string& number, std::string* why) {
    size_t digits = 0;
    for (size_t i = 0; i < number.size(); ++i) {
        const char c = number[i];
        if (std::isdigit(static_cast<unsigned char>(c)))
            ++digits;
        else if (!(c == '+' && i == 0) && c != '-' && c != '.' && c != '(' && c != ')' && c != ' ') {
            *why = "a phone number takes digits, a leading + and - . ( ) or spaces";
            return false;
        }
    }
    if (digits == 0 || digits > 20) {
        *why = "a phone number has 1 to 20 digits";
        return false;
    }
    return true;
}

bool Coordinate(const std::string& text, double limit, const char* name, std::string* why) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || text.find_first_not_of("+-0123456789.") != std::string::npos ||
        !(value >= -limit && value <= limit)) {
        *why = std::string(name) + " takes a decimal number from -" +
               std::to_string(static_cast<int>(limit)) + " to " + std::to_string(static_cast<int>(limit));
        return false;
    }
    return true;
}

bool Wifi(Reader& r, std::string* text) {
    if (!r.Check("wifi", {"ssid", "password", "security", "hidden"}, {"ssid"}) || !r.Limit("ssid", 32))
        return false;
    const std::string password = r.One("password");
    std::string security = r.One("security");
    if (security.empty()) security = password.empty() ? "nopass" : "WPA";
    for (char& c : security) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (security == "NOPASS") security = "nopass";
    if (security != "WPA" && security != "WEP" && security != "nopass") {
        *r.why = "security takes WPA, WEP or nopass";
        return false;
    }
    if (security == "nopass" && !password.empty()) {
        *r.why = "an open network (nopass) takes no password";
        return false;
    }
    if (security == "WPA" && (password.size() < 8 || password.size() > 63)) {
        *r.why = "a WPA password has 8 to 63 characters";
        return false;
    }
    if (security == "WEP" && password.size() != 5 && password.size() != 13 && password.size() != 10 &&
        password.size() != 26) {
        *r.why = "a WEP key has 5 or 13 characters, or 10 or 26 hexadecimal digits";
        return false;
    }
    const std::string hidden = r.One("hidden");
    if (!hidden.empty() && hidden != "true" && hidden != "false") {
        *r.why = "hidden takes true or false";
        return false;
    }
    const char* const kSpecial = "\\;,:\"";
    *text = "WIFI:T:" + security + ";S:" + Escape(r.One("ssid"), kSpecial) + ";";
    if (!password.empty()) *text += "P:" + Escape(password, kSpecial) + ";";
    if (hidden == "true") *text += "H:true;";
    *text += ";";
    return true;
}

bool Mecard(Reader& r, std::string* text) {
    if (!r.Check("mecard", {"name", "org", "phone", "email", "address", "url", "note"}, {"name"}))
        return false;
    const char* const kSpecial = "\\;,:";
    *text = "MECARD:N:" + Escape(r.One("name"), kSpecial) + ";";
    if (!r.One("org").empty()) *text += "ORG:" + Escape(r.One("org"), kSpecial) + ";";
    for (const std::string& p : r.All("phone")) {
        if (!PhoneNumber(p, r.why)) return false;
        *text += "TEL:" + Escape(p, kSpecial) + ";";
    }
    for (const std::string& e : r.All("email")) *text += "EMAIL:" + Escape(e, kSpecial) + ";";
    for (const char* f : {"address", "url", "note"}) {
        static const char* const kTags[] = {"ADR", "URL", "NOTE"};
        const std::string v = r.One(f);
        const int tag = f[0] == 'a' ? 0 : f[0] == 'u' ? 1 : 2;
        if (!v.empty()) *text += std::string(kTags[tag]) + ":" + Escape(v, kSpecial) + ";";
    }
    *text += ";";
    return true;
}

bool Vcard(Reader& r, std::string* text) {
    if (!r.Check("vcard", {"name", "org", "phone", "email", "address", "url", "note"}, {"name"}))
        return false;
    const std::string name = VcardText(r.One("name"));
    *text = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" + name + "\r\nFN:" + name + "\r\n";
    if (!r.One("org").empty()) *text += "ORG:" + VcardText(r.One("org")) + "\r\n";
    for (const std::string& p : r.All("phone")) {
        if (!PhoneNumber(p, r.why)) return false;
        *text += "TEL:" + VcardText(p) + "\r\n";
    }
    for (const std::string& e : r.All("email")) *text += "EMAIL:" + VcardText(e) + "\r\n";
    if (!r.One("address").empty()) *text += "ADR:;;" + VcardText(r.One("address")) + ";;;;\r\n";
    if (!r.One("url").empty()) *text += "URL:" + VcardText(r.One("url")) + "\r\n";
    if (!r.One("note").empty()) *text += "NOTE:" + VcardText(r.One("note")) + "\r\n";
    *text += "END:VCARD\r\n";
    return true;
}

std::string Compact(const std::string& value) {
    std::string out;
    for (char c : value)
        if (c != ' ') out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool Epc(Reader& r, std::string* text) {
    if (!r.Check("epc", {"bic", "name", "iban", "amount", "reference", "text"}, {"name", "iban"}) ||
        !r.Limit("name", 70) || !r.Limit("reference", 35) || !r.Limit("text", 140))
        return false;
    for (const auto& f : r.fields) {
        if (f.second.find_first_of("\r\n") != std::string::npos) {
            *r.why = f.first + " cannot hold a line break";
            return false;
        }
    }
    const std::string iban = Compact(r.One("iban")), bic = Compact(r.One("bic"));
    if (!QRCodeIbanValid(iban)) {
        *r.why = "the IBAN '" + r.One("iban") + "' is not valid (its check digits do not hold)";
        return false;
    }
    if (!bic.empty() &&
        ((bic.size() != 8 && bic.size() != 11) ||
         bic.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") != std::string::npos)) {
        *r.why = "a BIC has 8 or 11 letters and digits";
        return false;
    }
    std::string amount;
    if (!r.One("amount").empty()) {
        const std::string a = r.One("amount");
        const size_t dot = a.find('.');
        char* end = nullptr;
        const double value = std::strtod(a.c_str(), &end);
        if (*end || a.find_first_not_of("0123456789.") != std::string::npos ||
            (dot != std::string::npos && a.size() - dot - 1 > 2) ||
            !(value >= 0.01 && value <= 999999999.99)) {
            *r.why = "amount takes euros from 0.01 to 999999999.99, at most two decimals";
            return false;
        }
        amount = "EUR" + a;
    }
    if (!r.One("reference").empty() && !r.One("text").empty()) {
        *r.why = "epc takes a reference or a text, not both";
        return false;
    }
    *text = "BCD\n002\n1\nSCT\n" + bic + "\n" + r.One("name") + "\n" + iban + "\n" + amount + "\n\n" +
            r.One("reference") + "\n" + r.One("text");
    while (!text->empty() && text->back() == '\n') text->pop_back();
    return true;
}

}  // namespace

bool QRCodeIbanValid(const std::string& raw) {
    const std::string iban = Compact(raw);
    if (iban.size() < 15 || iban.size() > 34 || !std::isupper(static_cast<unsigned char>(iban[0])) ||
        !std::isupper(static_cast<unsigned char>(iban[1])) ||
        !std::isdigit(static_cast<unsigned char>(iban[2])) ||
        !std::isdigit(static_cast<unsigned char>(iban[3])))
        return false;
    // The first four characters go to the end; letters count as 10 to 35; the number mod 97 is 1.
    const std::string moved = iban.substr(4) + iban.substr(0, 4);
    int remainder = 0;
    for (char c : moved) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            remainder = (remainder * 10 + (c - '0')) % 97;
        } else if (std::isupper(static_cast<unsigned char>(c))) {
            remainder = (remainder * 100 + (c - 'A' + 10)) % 97;
        } else {
            return false;
        }
    }
    return remainder == 1;
}

bool QRCodePayloadLevel(const std::string& kind, int* level) {
    if (kind != "epc") return false;
    *level = 1;
    return true;
}

bool QRCodeBuildPayload(const std::string& kind, const QRCodePayloadFields& fields, std::string* text,
                        std::string* why) {
    Reader r{fields, why, {}};
    if (kind == "wifi") return Wifi(r, text);
    if (kind == "mecard") return Mecard(r, text);
    if (kind == "vcard") return Vcard(r, text);
    if (kind == "epc") return Epc(r, text);
    if (kind == "geo") {
        if (!r.Check("geo", {"lat", "lon"}, {"lat", "lon"}) || !Coordinate(r.One("lat"), 90, "lat", why) ||
            !Coordinate(r.One("lon"), 180, "lon", why))
            return false;
        *text = "geo:" + r.One("lat") + "," + r.One("lon");
        return true;
    }
    if (kind == "tel") {
        if (!r.Check("tel", {"number"}, {"number"}) || !PhoneNumber(r.One("number"), why)) return false;
        *text = "tel:" + r.One("number");
        for (size_t i; (i = text->find(' ')) != std::string::npos;) text->erase(i, 1);
        return true;
    }
    if (kind == "sms") {
        if (!r.Check("sms", {"number", "body"}, {"number"}) || !PhoneNumber(r.One("number"), why))
            return false;
        std::string number = r.One("number");
        for (size_t i; (i = number.find(' ')) != std::string::npos;) number.erase(i, 1);
        *text = "SMSTO:" + number + ":" + r.One("body");
        return true;
    }
    if (kind == "mailto") {
        if (!r.Check("mailto", {"to", "subject", "body"}, {"to"})) return false;
        const std::string to = r.One("to");
        if (to.find('@') == std::string::npos || to.find_first_of(" ?&,<>\"\r\n") != std::string::npos) {
            *why = "to takes one e-mail address";
            return false;
        }
        *text = "mailto:" + to;
        std::string sep = "?";
        for (const char* f : {"subject", "body"}) {
            if (r.One(f).empty()) continue;
            *text += sep + f + "=" + Percent(r.One(f));
            sep = "&";
        }
        return true;
    }
    *why = "no payload kind '" + kind + "' (wifi, vcard, mecard, epc, geo, mailto, tel or sms)";
    return false;
}
