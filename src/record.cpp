// The failing defaults of the record interface.
#include "pressel/record.hpp"

#include <cstdio>

namespace pressel {

void failNotDefined(const char* operation, const std::string& valueText) {
    throw Error(std::string(operation) + valueText);
}

long long recType(const T_& c) { failNotDefined("recType not defined: ", show(c)); }
long long recType(const MCF_& c) { failNotDefined("recType not defined: ", show(c)); }

// The character between single quotes; the quote and the backslash are
// escaped, and so is every character outside printable ASCII (by its name
// for the common control characters, by its decimal code otherwise).
std::string showChar(char ch) {
    unsigned char c = static_cast<unsigned char>(ch);
    std::string s = "'";
    switch (c) {
    case '\'': s += "\\'"; break;
    case '\\': s += "\\\\"; break;
    case '\n': s += "\\n"; break;
    case '\t': s += "\\t"; break;
    case '\r': s += "\\r"; break;
    case '\a': s += "\\a"; break;
    case '\b': s += "\\b"; break;
    case '\f': s += "\\f"; break;
    case '\v': s += "\\v"; break;
    case 0x7F: s += "\\DEL"; break;
    default:
        if (c >= 0x20 && c < 0x7F) s += static_cast<char>(c);
        else {
            s += '\\';
            s += std::to_string(c);
        }
    }
    s += '\'';
    return s;
}

long long recType(char c) { failNotDefined("recType not defined: ", showChar(c)); }

}  // namespace pressel
