// JSON text for the library's and the tool's JSON forms.
#pragma once

#include <string>
#include <string_view>

namespace pressel {

// Appends UTF-8 text as a JSON string, quotes included: the quote and the
// backslash escaped, LF, CR and tab by name, the other control characters
// and DEL as \uXXXX (upper-case hexadecimal); every other byte as it is.
void writeJsonString(std::string& out, std::string_view utf8);

}  // namespace pressel
