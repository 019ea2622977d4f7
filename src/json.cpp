// JSON string escaping.
#include "pressel/core/json.hpp"

namespace pressel {

void writeJsonString(std::string& out, std::string_view utf8) {
    static const char hex[] = "0123456789ABCDEF";
    out += '"';
    for (char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

}  // namespace pressel
