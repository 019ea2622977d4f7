// glibc iconv(3) as the reference for code page tests: converts bytes of a
// named encoding to Unicode scalar values, or Unicode back to bytes, in
// process (no child process per call), so a test can compare every code point
// of a page.
#pragma once

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pressel::test {

// Unicode scalar values as UTF-32BE bytes, the form the converters below use.
inline std::string utf32be(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) {
        const auto v = static_cast<std::uint32_t>(c);
        out += static_cast<char>(v >> 24);
        out += static_cast<char>(v >> 16);
        out += static_cast<char>(v >> 8);
        out += static_cast<char>(v);
    }
    return out;
}

// One iconv descriptor. Each call converts a whole, independent input and
// resets the shift state; a failed conversion (invalid or incomplete input,
// or a character without a code in the target) gives std::nullopt.
class IconvConverter {
public:
    IconvConverter(const std::string& to, const std::string& from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~IconvConverter() {
        if (ok()) iconv_close(cd_);
    }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> operator()(std::string_view in) {
        if (!ok()) return std::nullopt;
        std::string out(in.size() * 4 + 16, '\0');
        char* inp = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char* outp = out.data();
        std::size_t outLeft = out.size();
        bool good = true;
        while (inLeft > 0) {
            if (iconv(cd_, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1)) continue;
            if (errno != E2BIG) {
                good = false;
                break;
            }
            const std::size_t used = out.size() - outLeft;
            out.resize(out.size() * 2);
            outp = out.data() + used;
            outLeft = out.size() - used;
        }
        // Flush the shift state (and return to the initial one for the next call).
        if (iconv(cd_, nullptr, nullptr, &outp, &outLeft) == static_cast<std::size_t>(-1)) good = false;
        if (!good) {
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            return std::nullopt;
        }
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t cd_;
};

// `input` converted by iconv from `from` to `to`; std::nullopt when iconv
// lacks either encoding or the conversion fails.
inline std::optional<std::string> iconvConvert(const std::string& from, const std::string& to, std::string_view input) {
    return IconvConverter(to, from)(input);
}

// Decodes `encoding` bytes to Unicode scalar values.
class IconvDecoder {
public:
    explicit IconvDecoder(const std::string& encoding) : conv_("UTF-32BE", encoding) {}
    bool ok() const { return conv_.ok(); }

    std::optional<std::u32string> operator()(std::string_view bytes) {
        std::optional<std::string> utf32 = conv_(bytes);
        if (!utf32) return std::nullopt;
        std::u32string out;
        for (std::size_t i = 0; i + 4 <= utf32->size(); i += 4) {
            const auto* b = reinterpret_cast<const unsigned char*>(utf32->data() + i);
            out += static_cast<char32_t>(std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 |
                                         std::uint32_t{b[2]} << 8 | b[3]);
        }
        return out;
    }

    // The one character `bytes` decode to, or std::nullopt when they fail or
    // decode to anything other than exactly one character.
    std::optional<char32_t> one(std::string_view bytes) {
        std::optional<std::u32string> s = (*this)(bytes);
        if (!s || s->size() != 1) return std::nullopt;
        return (*s)[0];
    }

private:
    IconvConverter conv_;
};

// Encodes Unicode scalar values into `encoding`.
class IconvEncoder {
public:
    explicit IconvEncoder(const std::string& encoding) : conv_(encoding, "UTF-32BE") {}
    bool ok() const { return conv_.ok(); }

    std::optional<std::string> operator()(std::u32string_view text) {
        return conv_(utf32be(text));
    }

private:
    IconvConverter conv_;
};

// Unicode scalar values as UTF-8.
inline std::string utf8Of(std::u32string_view text) {
    IconvConverter conv("UTF-8", "UTF-32BE");
    return conv(utf32be(text)).value_or(std::string());
}

} // namespace pressel::test
