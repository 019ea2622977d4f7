// JSON string escaping.
#include "pressel/core/json.hpp"

namespace pressel {

// Runs of bytes that need no escape are appended whole.
void writeJsonString(std::string& out, std::string_view utf8) {
    static const char hex[] = "0123456789ABCDEF";
    out += '"';
    std::size_t run = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != 0x7F && c != '"' && c != '\\') continue;
        out.append(utf8.data() + run, i - run);
        run = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    out.append(utf8.data() + run, utf8.size() - run);
    out += '"';
}

}  // namespace pressel
