// The text of a data stream: presentation text through the active font's
// code page, lines where the baseline moves, form feeds between pages.
#include "pressel/text/text.hpp"

#include "pressel/text/codepages.hpp"
#include "pressel/text/cp835.hpp"
#include "pressel/records.hpp"
#include "pressel/core/strings.hpp"

namespace pressel {

// Built from the library's table of code page 037 (every byte of that page is
// a Latin-1 character), so the page's mapping lives in one place.
const ByteTable& ebc037ToLatin1() {
    static const ByteTable table = [] {
        ByteTable t = ebc2ascW8();
        const CodePage* cp037 = findCodePage(37);
        for (unsigned b = 0; b < 256; ++b) {
            const char32_t u = cp037->toUnicode(b);
            if (u < 0x100) t.bytes[b] = std::uint8_t(u);
        }
        return t;
    }();
    return table;
}

TextFont textFontOfCodePage(std::string_view name) {
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.remove_suffix(1);
    TextFont f;
    if (name.find("835") != std::string_view::npos) f.doubleByte = true;
    else if (name.size() >= 3 && name.substr(name.size() - 3) == "037") f.table = &ebc037ToLatin1();
    return f;
}

TextExtractor::TextExtractor(TextOptions options) : options_(options) {}

bool TextExtractor::emitting() const noexcept {
    return options_.page == 0 || (inPage_ && pages_ == options_.page);
}

void TextExtractor::startPage(std::string& out) {
    ++pages_;
    if (options_.page == 0 && pages_ > 1) {
        if (lineHasText_) out += '\n';
        out += '\f';
    }
    inPage_ = true;
    fonts_.clear();
    font_ = {};
    baseline_ = -1;
    lineHasText_ = pendingNewLine_ = pendingSpace_ = false;
}

void TextExtractor::endPage(std::string& out) {
    if (lineHasText_ && emitting()) out += '\n';
    lineHasText_ = pendingNewLine_ = pendingSpace_ = false;
    inPage_ = false;
}

void TextExtractor::finish(std::string& out) {
    if (lineHasText_ && emitting()) out += '\n';
    lineHasText_ = pendingNewLine_ = pendingSpace_ = false;
}

void TextExtractor::newLine() {
    if (lineHasText_) pendingNewLine_ = true;
}

void TextExtractor::inlineMove() {
    if (lineHasText_) pendingSpace_ = true;
}

void TextExtractor::codePoints(std::string_view bytes, std::string& out) {
    if (bytes.empty() || !emitting()) return;
    std::string text;
    if (options_.dbcs || font_.doubleByte) {
        std::string cp950 = convert835to950Text(bytes);
        text = options_.utf8 ? cp950ToUtf8(cp950) : std::move(cp950);
    } else {
        const ByteTable& table = font_.table ? *font_.table : ebc2ascW8();
        text.reserve(bytes.size());
        for (char ch : bytes) {
            std::uint8_t c = lookup(table, static_cast<std::uint8_t>(ch));
            if (options_.utf8 && c >= 0x80) {
                text += static_cast<char>(0xC0 | (c >> 6));
                text += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                text += static_cast<char>(c);
            }
        }
    }
    if (pendingNewLine_) {
        out += '\n';
        lineHasText_ = false;
    } else if (pendingSpace_ && lineHasText_ && !out.empty() && out.back() != ' ' && text.front() != ' ') {
        // Two runs of one line: a gap unless one of them brings its own space.
        out += ' ';
    }
    pendingNewLine_ = pendingSpace_ = false;
    out += text;
    lineHasText_ = true;
}

namespace {
// Decodes a record, or tells that it does not decode (a short item is ignored,
// as a presentation device ignores a control sequence missing a parameter).
template <class T, ChunkFamily C>
bool tryDecode(const C& c, T& out) {
    try {
        out = decodeChunk<T>(c);
        return true;
    } catch (const Error&) {
        return false;
    }
}

bool isDbcsSection(unsigned s) { return s >= 0x41 && s <= 0xFE; }

// The text of an A field's bytes (a name), most significant byte first.
template <AField T>
std::string aText(T v) {
    byte b[T::width];
    for (int i = 0; i < T::width; ++i) b[i] = static_cast<byte>(uint128(v.value) >> (8 * (T::width - 1 - i)));
    return fromAStr(std::span<const byte>(b, T::width));
}
}  // namespace

void TextExtractor::readFontMap(const AFP_& c) {
    TypeId type = chunkType(c).id;
    if (type->index == idx_MCF1) {
        MCF1 m;
        if (!tryDecode(c, m)) return;
        for (const Record<MCF1_Data>& r : m.mcf1_Data) {
            const MCF1_Data& d = r.recordContent;
            TextFont f = textFontOfCodePage(aText(d.mcf1_CodePageName));
            if (isDbcsSection(d.mcf1_CodedFontResourceSectionId.value)) f.doubleByte = true;
            fonts_[d.mcf1_CodedFontLocalId.value] = f;
        }
        return;
    }
    MCF m;
    if (!tryDecode(c, m)) return;
    for (const MCF_& g : m.mcf_Chunks) {
        MCF_T group;
        if (g.frame != Frame::Item || !tryDecode(g, group)) continue;
        int localId = -1;
        bool doubleByte = false;
        std::string codePage;
        for (const T_& t : group.mcf_t_Chunks) {
            if (t.frame != Frame::Item) continue;
            unsigned index = chunkType(t).id->index;
            if (index == idx_T_RLI) {
                T_RLI r;
                if (tryDecode(t, r) && r.t_rli_ResourceType.value == 0x05) localId = r.t_rli_ResourceLocalId.value;
            } else if (index == idx_T_FQN) {
                T_FQN q;
                if (tryDecode(t, q) && q.t_fqn_SubType.value == 0x85) codePage = fromAStr(q.t_fqn.bytes);
            } else if (index == idx_T_RSN) {
                T_RSN s;
                if (tryDecode(t, s) && isDbcsSection(s.t_rsn_SectionNumber.value)) doubleByte = true;
            }
        }
        if (localId < 0) continue;
        TextFont f = textFontOfCodePage(codePage);
        if (doubleByte) f.doubleByte = true;
        fonts_[unsigned(localId)] = f;
    }
}

void TextExtractor::presentationText(const AFP_& c, std::string& out) {
    PTX p;
    if (!tryDecode(c, p)) return;
    if (p.ptx_EscapeSequence.present() && !p.opensChain()) {
        const std::uint16_t e = p.ptx_EscapeSequence.value->value;
        const char esc[2] = {static_cast<char>(e >> 8), static_cast<char>(e & 0xFF)};
        codePoints(std::string_view(esc, 2), out);
    }
    for (const PTX_& cs : p.ptx_Chunks) {
        if (cs.frame == Frame::Text) {
            codePoints(cs.payload.chars(), out);
            continue;
        }
        if (cs.frame != Frame::Item) continue;
        switch (chunkType(cs).id->index) {
        case idx_PTX_TRN: {
            PTX_TRN t;
            if (tryDecode(cs, t)) codePoints(t.ptx_trn.bytes.chars(), out);
            break;
        }
        case idx_PTX_SCFL: {
            PTX_SCFL s;
            if (!tryDecode(cs, s)) break;
            auto it = fonts_.find(s.ptx_scfl_LocalId.value);
            font_ = it == fonts_.end() ? TextFont{} : it->second;
            break;
        }
        case idx_PTX_AMB: {
            PTX_AMB a;
            if (!tryDecode(cs, a)) break;
            std::int64_t to = a.ptx_amb_Displacement.value;
            if (to != baseline_) newLine();
            baseline_ = to;
            break;
        }
        case idx_PTX_RMB: {
            PTX_RMB r;
            if (!tryDecode(cs, r)) break;
            auto by = static_cast<std::int16_t>(r.ptx_rmb_Displacement.value);
            if (by != 0) newLine();
            if (baseline_ >= 0) baseline_ += by;
            break;
        }
        case idx_PTX_BLN: newLine(); break;
        case idx_PTX_AMI:
        case idx_PTX_RMI: inlineMove(); break;
        default: break;
        }
    }
}

void TextExtractor::feed(const AFP_& c, std::string& out) {
    switch (chunkType(c).id->index) {
    case idx_BPG: startPage(out); break;
    case idx_EPG: endPage(out); break;
    case idx_MCF:
    case idx_MCF1: readFontMap(c); break;
    case idx_PTX: presentationText(c, out); break;
    default: break;
    }
}

}  // namespace pressel
