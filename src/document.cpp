// Documents, page groups, pages and inline resources: info, split, select, merge.
#include "pressel/rewrite/document.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "pressel/view/check.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/core/error.hpp"
#include "pressel/records/triplets.hpp"

namespace pressel {

namespace {

// Structured-field identifiers the walk acts on.
constexpr std::uint32_t kBPF = 0xD3A8A5, kEPF = 0xD3A9A5;
constexpr std::uint32_t kBRG = 0xD3A8C6, kERG = 0xD3A9C6, kBR = 0xD3A8CE;
constexpr std::uint32_t kBDT = 0xD3A8A8, kEDT = 0xD3A9A8;
constexpr std::uint32_t kBNG = 0xD3A8AD, kENG = 0xD3A9AD;
constexpr std::uint32_t kBPG = 0xD3A8AF, kEPG = 0xD3A9AF;
constexpr std::uint32_t kTLE = 0xD3A090, kNOP = 0xD3EEEE, kIMM = 0xD3ABCC, kPGD = 0xD3A6AF;
constexpr std::uint32_t kMCF = 0xD3AB8A, kMCF1 = 0xD3B18A, kMPO = 0xD3ABD8, kMDR = 0xD3ABC3, kMPG = 0xD3ABAF;
constexpr std::uint32_t kMPS = 0xD3B15F, kMMO = 0xD3B1DF, kCFC = 0xD3A78A, kCFI = 0xD38C8A;
constexpr std::uint32_t kBFM = 0xD3A8CD;

constexpr unsigned typeOf(std::uint32_t code) { return (code >> 8) & 0xFF; }
constexpr bool isBegin(std::uint32_t code) { return typeOf(code) == 0xA8; }
constexpr bool isEnd(std::uint32_t code) { return typeOf(code) == 0xA9; }

std::string_view chars(const Bytes& b, std::size_t at, std::size_t n) {
    return {reinterpret_cast<const char*>(b.data() + at), n};
}

// The 8-byte name at the start of a field's data, raw, or empty.
std::string rawName8(const AFP_& c) {
    FieldData d = fieldData(c);
    if (d.end - d.begin < 8) return {};
    return std::string(chars(c.payload, d.begin, 8));
}

ResourceKind kindOfBegin(std::uint32_t code) {
    switch (code) {
    case 0xD3A88A: return ResourceKind::CodedFont;
    case 0xD3A889: return ResourceKind::FontCharacterSet;
    case 0xD3A887: return ResourceKind::CodePage;
    case 0xD3A8DF: return ResourceKind::Overlay;
    case 0xD3A85F: return ResourceKind::PageSegment;
    case 0xD3A8FB:
    case 0xD3A87B: return ResourceKind::Image;
    case 0xD3A892: return ResourceKind::ObjectContainer;
    case kBFM: return ResourceKind::FormDefinition;
    case 0xD3A8BB: return ResourceKind::Graphics;
    case 0xD3A8EB: return ResourceKind::BarCode;
    default: return ResourceKind::Other;
    }
}

// The object type of a Begin Resource's Resource Object Type triplet (X'21').
ResourceKind kindOfResourceTriplet(const AFP_& c) {
    FieldData d = fieldData(c);
    const Bytes& p = c.payload;
    for (std::size_t t = d.begin + 10; t + 3 <= d.end;) {
        std::size_t len = p[t];
        if (len < 2 || t + len > d.end) break;
        if (p[t + 1] == 0x21 && len >= 3) {
            switch (p[t + 2]) {
            case 0x03: return ResourceKind::Graphics;
            case 0x05: return ResourceKind::BarCode;
            case 0x06: return ResourceKind::Image;
            case 0x40: return ResourceKind::FontCharacterSet;
            case 0x41: return ResourceKind::CodePage;
            case 0x42: return ResourceKind::CodedFont;
            case 0x92: return ResourceKind::ObjectContainer;
            case 0xFB: return ResourceKind::PageSegment;
            case 0xFC: return ResourceKind::Overlay;
            case 0xFE: return ResourceKind::FormDefinition;
            default: return ResourceKind::Other;
            }
        }
        t += len;
    }
    return ResourceKind::Other;
}

// An End field X'5A'-framed: the identifier, a zero flag byte and reserved
// bytes, the name (8 bytes, or none).
std::vector<byte> endField(std::uint32_t code, const std::string& name8) {
    std::vector<byte> out;
    const std::size_t len = 8 + name8.size();
    out.insert(out.end(), {0x5A, byte(len >> 8), byte(len), byte(code >> 16), byte(code >> 8), byte(code), 0, 0, 0});
    out.insert(out.end(), name8.begin(), name8.end());
    return out;
}

// A Tag Logical Element's attribute name and value (UTF-8). The triplets are
// read in place: after a triplet's length byte come its fields as its record
// declares them (identifier first), so the attribute name of a Fully
// Qualified Name of type X'0B' and the value of an Attribute Value stand
// where those declarations put their last field.
std::pair<std::string, std::string> tleOf(const AFP_& c) {
    constexpr std::size_t fqnTypeAt = 1 + fieldByteOffset<T_FQN, 1>();
    constexpr std::size_t fqnNameAt = 1 + fieldByteOffset<T_FQN, 3>();
    constexpr std::size_t avValueAt = 1 + fieldByteOffset<T_AV, 2>();
    FieldData d = fieldData(c);
    const Bytes& p = c.payload;
    std::string attr, value;
    for (std::size_t t = d.begin; t + 2 <= d.end;) {
        std::size_t len = p[t];
        if (len < 2 || t + len > d.end) break;
        if (p[t + 1] == 0x02 && len >= fqnNameAt && p[t + fqnTypeAt] == 0x0B)
            attr = displayName(chars(p, t + fqnNameAt, len - fqnNameAt));
        else if (p[t + 1] == 0x36 && len >= avValueAt)
            value = displayName(chars(p, t + avValueAt, len - avValueAt));
        t += len;
    }
    return {attr, value};
}

void addTle(std::vector<std::pair<std::string, std::string>>& tles, std::pair<std::string, std::string> tle) {
    for (const auto& t : tles)
        if (t.first == tle.first) return;
    tles.push_back(std::move(tle));
}

std::uint32_t be(const Bytes& p, std::size_t at, std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[at + i];
    return v;
}

// "210.0 x 297.0 mm" from a Page Descriptor, or empty.
std::string pageSize(const AFP_& c) {
    FieldData d = fieldData(c);
    if (d.end - d.begin < 12) return {};
    const Bytes& p = c.payload;
    const std::size_t b = d.begin;
    const double xu = be(p, b + 2, 2), yu = be(p, b + 4, 2);
    if (xu == 0 || yu == 0 || p[b] != 0 || p[b + 1] != 0) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f x %.1f mm", be(p, b + 6, 3) * 254.0 / xu, be(p, b + 9, 3) * 254.0 / yu);
    return buf;
}

}  // namespace

// ---- names ------------------------------------------------------------------------
FieldData fieldData(const AFP_& c) noexcept {
    const Bytes& p = c.payload;
    FieldData d{std::min<std::size_t>(6, p.size()), p.size()};
    if (p.size() < 6) return d;
    const byte flags = p[3];
    if ((flags & 0x80) && p.size() > 6) d.begin = std::min<std::size_t>(6 + p[6], p.size());
    if ((flags & 0x08) && d.end > d.begin) {
        std::size_t pad = p[d.end - 1];
        if (pad == 0 && d.end - d.begin >= 3) pad = be(p, d.end - 3, 2);
        d.end -= std::min(pad, d.end - d.begin);
    }
    return d;
}

std::string nameKey(std::string_view ebcdic) {
    std::size_t n = ebcdic.size();
    while (n > 0 && byte(ebcdic[n - 1]) == 0x40) --n;
    return std::string(ebcdic.substr(0, n));
}

std::string displayName(std::string_view ebcdic) {
    std::string s = ebcdicToUtf8(nameKey(ebcdic));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

void NameScanner::scan(const AFP_& c, std::vector<NameRef>& out) {
    const Bytes& p = c.payload;
    const FieldData d = fieldData(c);
    const std::size_t b = d.begin;
    auto add = [&](std::size_t at, std::size_t len, NameRole role) {
        if (len == 0 || at + len > d.end) return;
        if (len >= 2 && p[at] == 0xFF && p[at + 1] == 0xFF) return;  // a null name, or an End that matches any
        std::string key = nameKey(chars(p, at, len));
        if (!key.empty()) out.push_back(NameRef{at, len, std::move(key), role});
    };
    // Repeating groups with a 2-byte length, each a list of triplets:
    // the fully qualified names (X'02', character form) of resources.
    auto groupFqns = [&] {
        for (std::size_t g = b; g + 2 <= d.end;) {
            std::size_t len = be(p, g, 2);
            if (len < 2 || g + len > d.end) break;
            for (std::size_t t = g + 2; t + 2 <= g + len;) {
                std::size_t tl = p[t];
                if (tl < 2 || t + tl > g + len) break;
                if (p[t + 1] == 0x02 && tl > 4 && p[t + 3] == 0x00) {
                    switch (p[t + 2]) {
                    case 0x85: add(t + 4, tl - 4, NameRole::CodePage); break;
                    case 0x86:
                    case 0x8E:
                    case 0xBE: add(t + 4, tl - 4, NameRole::Font); break;
                    case 0x84:
                    case 0xB0:
                    case 0xCE:
                    case 0xDE: add(t + 4, tl - 4, NameRole::Object); break;
                    default: break;
                    }
                }
                t += tl;
            }
            g += len;
        }
    };
    // Fixed-length repeating groups after a 1-byte group length and 3
    // reserved bytes.
    auto fixedGroups = [&](std::size_t minLen, auto&& each) {
        if (d.end - b < 4) return;
        const std::size_t len = p[b];
        if (len < minLen) return;
        for (std::size_t g = b + 4; g + minLen <= d.end; g += len) each(g);
    };
    switch (c.code) {
    case kMCF:
    case kMPO:
    case kMDR:
    case kMPG: groupFqns(); return;
    case kMCF1:
        fixedGroups(28, [&](std::size_t g) {
            add(g + 4, 8, NameRole::Font);
            add(g + 12, 8, NameRole::CodePage);
            add(g + 20, 8, NameRole::Font);
        });
        return;
    case kMPS:
    case kMMO: fixedGroups(12, [&](std::size_t g) { add(g + 4, 8, NameRole::Object); }); return;
    case kCFC:
        if (d.end > b && p[b] >= 16) cfiLength_ = p[b];
        return;
    case kCFI:
        for (std::size_t g = b; g + 16 <= d.end; g += cfiLength_) {
            add(g, 8, NameRole::Font);
            add(g + 8, 8, NameRole::CodePage);
        }
        return;
    case kIMM: add(b, 8, NameRole::Object); return;
    default: break;
    }
    if ((c.code >> 16) != 0xD3) return;
    const unsigned type = typeOf(c.code);
    if (type == 0xA8 || type == 0xA9) add(b, 8, NameRole::Definition);
    else if (type == 0xAF) add(b, 8, NameRole::Object);  // Include Page Segment, Overlay, Object, Page
}

// ---- resources ----------------------------------------------------------------------
const char* resourceKindName(ResourceKind k) noexcept {
    switch (k) {
    case ResourceKind::CodedFont: return "coded font";
    case ResourceKind::FontCharacterSet: return "font character set";
    case ResourceKind::CodePage: return "code page";
    case ResourceKind::Overlay: return "overlay";
    case ResourceKind::PageSegment: return "page segment";
    case ResourceKind::Image: return "image";
    case ResourceKind::ObjectContainer: return "object container";
    case ResourceKind::FormDefinition: return "form definition";
    case ResourceKind::Graphics: return "graphics";
    case ResourceKind::BarCode: return "bar code";
    default: return "other";
    }
}

void appendFramed(std::vector<byte>& out, const AFP_& c) {
    const std::size_t n = c.payload.size();
    if (n > maxAfpPayload) throw Error("structured field of " + std::to_string(n) + " payload bytes cannot be framed");
    out.insert(out.end(), {0x5A, byte((n + 2) >> 8), byte(n + 2)});
    out.insert(out.end(), c.payload.begin(), c.payload.end());
}

std::optional<Resource> ResourceCollector::feed(const AFP_& c, std::uint64_t offset) {
    if (depth_ == 0) {
        cur_ = Resource{};
        cur_.offset = offset;
        if (isBegin(c.code)) {
            cur_.name = nameKey(rawName8(c));
            cur_.kind = c.code == kBR ? kindOfResourceTriplet(c) : kindOfBegin(c.code);
        }
    } else if (depth_ == 1 && isBegin(c.code) && cur_.objectName.empty()) {
        cur_.objectName = nameKey(rawName8(c));
        if (cur_.kind == ResourceKind::Other) cur_.kind = kindOfBegin(c.code);
    }
    appendFramed(cur_.bytes, c);
    refs_.clear();
    names_.scan(c, refs_);
    for (auto& r : refs_)
        if (r.role != NameRole::Definition) cur_.references.push_back(std::move(r.key));
    if (isBegin(c.code)) ++depth_;
    else if (isEnd(c.code) && depth_ > 0) --depth_;
    if (depth_ > 0) return std::nullopt;
    std::sort(cur_.references.begin(), cur_.references.end());
    cur_.references.erase(std::unique(cur_.references.begin(), cur_.references.end()), cur_.references.end());
    return std::move(cur_);
}

// ---- safe output ----------------------------------------------------------------------
namespace {

// Runs `write` on a writer for `path`. The writer replaces a file safely (a
// temporary file beside it, put in place only when `write` returns; a failure
// removes it and leaves any earlier file at `path` as it was), writes "-" and
// special files (devices, FIFOs) directly, and refuses a file being read.
// Refuses to write over the file `input` even when it is not open.
void writeFileSafely(const std::string& path, const std::function<void(AfpWriter&)>& write,
                     const std::string& input = {}) {
    struct stat st{};
    if (path != "-" && !input.empty() && input != "-" && ::stat(path.c_str(), &st) == 0) {
        struct stat in{};
        if (::stat(input.c_str(), &in) == 0 && in.st_dev == st.st_dev && in.st_ino == st.st_ino)
            throw IoError("input and output are the same file: '" + path + "'");
    }
    AfpWriter w(path);
    try {
        write(w);
        w.close();
    } catch (...) {
        w.discard();
        throw;
    }
}

}  // namespace

// ---- info -------------------------------------------------------------------------------
StreamInfo streamInfo(std::unique_ptr<ByteSource> src, const std::function<void(const PageGroupInfo&)>& onGroup) {
    StreamInfo info;
    StreamChecker checker([&](const Finding& f) {
        switch (f.severity) {
        case Severity::Error: ++info.errors; break;
        case Severity::Warning: ++info.warnings; break;
        default: ++info.notes; break;
        }
        if (info.findings.size() < 20)
            info.findings.push_back(std::to_string(f.offset) + " " + severityName(f.severity) + " " + f.message);
    });
    AfpReader reader(std::move(src));
    AFP_ c;
    std::vector<PageGroupInfo> groups;  // open page groups
    ResourceCollector collector;
    NameScanner names;
    std::vector<NameRef> refs;
    std::set<std::string> pageFonts, pageCodePages;
    int docDepth = 0;
    bool inGroup = false, inPage = false;
    try {
        while (reader.next(c)) {
            checker.field(c, reader);
            ++info.fields;
            ++info.fieldCounts[c.code];
            const std::uint32_t code = c.code;
            if (inGroup) {
                if (code == kERG && !collector.open()) inGroup = false;
                else if (auto r = collector.feed(c, reader.offset()); r && !r->name.empty())
                    info.resources.emplace_back(r->kind, displayName(r->name));
                continue;
            }
            if (docDepth == 0 && code == kBRG) {
                inGroup = true;
                continue;
            }
            if (code == kBDT) {
                if (docDepth++ == 0) {
                    ++info.documents;
                    if (info.documentNames.size() < 100) info.documentNames.push_back(displayName(rawName8(c)));
                }
            } else if (code == kEDT) {
                if (docDepth > 0) --docDepth;
            } else if (code == kBNG) {
                ++info.pageGroups;
                PageGroupInfo g;
                g.name = displayName(rawName8(c));
                g.level = unsigned(groups.size() + 1);
                g.offset = reader.offset();
                groups.push_back(std::move(g));
            } else if (code == kENG) {
                if (!groups.empty()) {
                    if (onGroup) onGroup(groups.back());
                    groups.pop_back();
                }
            } else if (code == kBPG) {
                ++info.pages;
                for (auto& g : groups) ++g.pages;
                inPage = true;
                pageFonts.clear();
                pageCodePages.clear();
            } else if (code == kEPG) {
                inPage = false;
            } else if (code == kTLE) {
                ++info.tles;
                if (!groups.empty() && !inPage) groups.back().tles.push_back(tleOf(c));
            } else if (code == kPGD && inPage) {
                std::string s = pageSize(c);
                if (!s.empty()) ++info.pageSizes[s];
            } else if ((code == kMCF || code == kMCF1) && inPage) {
                refs.clear();
                names.scan(c, refs);
                for (const auto& r : refs) {
                    if (r.role == NameRole::Font && pageFonts.insert(r.key).second) ++info.fonts[displayName(r.key)];
                    if (r.role == NameRole::CodePage && pageCodePages.insert(r.key).second)
                        ++info.codePages[displayName(r.key)];
                }
            }
        }
    } catch (const Error& e) {
        checker.failed(e, reader);
        info.failure = e.what();
    }
    checker.finish(reader);
    info.framing = reader.framing();
    info.bytes = reader.consumed();
    return info;
}

// ---- split --------------------------------------------------------------------------------
std::vector<std::pair<std::uint64_t, std::uint64_t>> parsePageRanges(const std::string& list) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> out;
    auto number = [&](const std::string& s) {
        if (s.empty() || s.size() > 18 || s.find_first_not_of("0123456789") != std::string::npos)
            throw Error("page ranges are numbers and ranges such as 3-5,9: '" + list + "'");
        std::uint64_t n = std::stoull(s);
        if (n == 0) throw Error("pages are numbered from 1: '" + list + "'");
        return n;
    };
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        std::string part = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::size_t dash = part.find('-');
        std::uint64_t a = number(dash == std::string::npos ? part : part.substr(0, dash));
        std::uint64_t z = dash == std::string::npos ? a : number(part.substr(dash + 1));
        if (z < a) throw Error("page range runs backwards: '" + part + "'");
        out.emplace_back(a, z);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

namespace {

std::string fileSafe(const std::string& v) {
    std::string s;
    for (unsigned char ch : v) {
        const bool ok = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' ||
                        ch == '_' || ch == '.' || ch >= 0x80;
        s += ok ? char(ch) : '_';
    }
    if (s.empty() || s[0] == '.') s.insert(s.begin(), '_');
    return s;
}

}  // namespace

bool patternVaries(const std::string& pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '{') return true;
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') ++i;
            else return true;
        }
    }
    return false;
}

std::string expandPattern(const std::string& pattern, const PieceInfo& piece) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char ch = pattern[i];
        if (ch == '%') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            std::size_t j = i + 1;
            bool zero = j < pattern.size() && pattern[j] == '0';
            std::size_t width = 0;
            while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && width < 100)
                width = width * 10 + std::size_t(pattern[j++] - '0');
            if (j >= pattern.size() || pattern[j] != 'd' || width > 20)
                throw Error("the pattern takes %d, %Nd or %0Nd for the piece number: '" + pattern + "'");
            std::string n = std::to_string(piece.index);
            if (n.size() < width) n.insert(0, width - n.size(), zero ? '0' : ' ');
            out += n;
            i = j;
        } else if (ch == '{') {
            std::size_t close = pattern.find('}', i);
            if (close == std::string::npos) throw Error("'{' without '}' in the pattern: '" + pattern + "'");
            const std::string field = pattern.substr(i + 1, close - i - 1);
            std::string value;
            bool found = false;
            for (const auto& t : piece.first.tles)
                if (t.first == field) {
                    value = t.second;
                    found = true;
                    break;
                }
            if (!found && field == "GROUP") value = piece.first.groupName;
            out += fileSafe(value);
            i = close;
        } else {
            out += ch;
        }
    }
    return out;
}

namespace {

// Bytes of a unit or piece being gathered: in memory up to a limit, then in
// an unnamed temporary file, so that a document of any length splits in
// bounded memory.
class SpillBuffer {
public:
    static constexpr std::size_t limit = std::size_t(8) << 20;

    void add(const byte* p, std::size_t n) {
        mem_.insert(mem_.end(), p, p + n);
        size_ += n;
        if (mem_.size() >= limit) spill();
    }
    void add(const std::vector<byte>& v) { add(v.data(), v.size()); }
    void addField(const AFP_& c) {
        appendFramed(mem_, c);
        size_ += 3 + c.payload.size();
        if (mem_.size() >= limit) spill();
    }
    void addFrom(SpillBuffer& o) {
        o.forEach([&](const byte* p, std::size_t n) { add(p, n); });
    }
    void writeTo(AfpWriter& w) {
        forEach([&](const byte* p, std::size_t n) { w.writeRaw(p, n); });
    }
    std::uint64_t size() const noexcept { return size_; }
    void clear() {
        mem_.clear();
        file_.reset();
        size_ = 0;
    }

private:
    struct Close {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };
    void spill() {
        if (!file_) {
            file_.reset(std::tmpfile());
            if (!file_) throw IoError("cannot create a temporary file for a piece larger than memory allows");
        }
        if (std::fwrite(mem_.data(), 1, mem_.size(), file_.get()) != mem_.size())
            throw IoError("cannot write the temporary file of a piece");
        mem_.clear();
    }
    template <class F>
    void forEach(F&& f) {
        if (file_) {
            std::fflush(file_.get());
            std::rewind(file_.get());
            std::vector<byte> buf(std::size_t(1) << 20);
            for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), file_.get())) > 0;) f(buf.data(), n);
            if (std::ferror(file_.get())) throw IoError("cannot read the temporary file of a piece");
            std::fseek(file_.get(), 0, SEEK_END);
        }
        if (!mem_.empty()) f(mem_.data(), mem_.size());
    }
    std::vector<byte> mem_;
    std::unique_ptr<std::FILE, Close> file_;
    std::uint64_t size_ = 0;
};

struct GroupFrame {
    std::uint64_t serial = 0;
    std::string name8;
    std::string name;  // UTF-8
    std::vector<byte> head;  // BNG and the index tags and comments that open the group
    std::vector<std::string> refs;
    std::vector<std::pair<std::string, std::string>> tles;
    bool headOpen = true;
};

struct DocState {
    bool active = false;
    std::uint64_t serial = 0, offset = 0;
    std::string name8;
    std::vector<byte> begin, prolog;
    std::vector<std::string> prologRefs;
    bool prologDone = false;
    std::vector<byte> lastImm;
    bool immFromProlog = false;
    std::vector<GroupFrame> groups;
};

enum class UnitKind : std::uint8_t { Group, Page, Document };

struct Unit {
    bool open = false;
    UnitKind kind = UnitKind::Page;
    std::uint64_t offset = 0;
    int innerDepth = 0;     // page groups open inside a group unit
    bool seenPage = false;  // a group unit's index tags come before its first page
    SpillBuffer body;
    std::vector<byte> repeatImm;
    std::vector<std::string> refs;
    UnitInfo info;
};

struct Piece {
    bool open = false, full = false, docOpen = false;
    std::uint64_t docSerial = 0;
    std::string docName8;
    std::vector<std::pair<std::uint64_t, std::string>> wrappers;  // open page groups: serial, name
    SpillBuffer body;
    std::vector<std::string> refs;
    PieceInfo info;
};

class Splitter {
public:
    explicit Splitter(const SplitOptions& o) : opt_(o) {}

    SplitResult run(std::unique_ptr<ByteSource> src) {
        AfpReader reader(std::move(src));
        AFP_ c;
        try {
            while (reader.next(c)) field(c, reader.offset());
            if (unit_.open)
                fail("the stream ends inside " + unitWhat(), reader.consumed());
            else if (doc_.active)
                fail("the stream ends inside document '" + displayName(doc_.name8) + "' begun at offset " +
                         std::to_string(doc_.offset),
                     reader.consumed());
            else if (inResourceGroup_)
                fail("the stream ends inside the resource group '" + displayName(rgName8_) + "'", reader.consumed());
        } catch (const FormatError& e) {
            fail(e.what(), e.offset());
        } catch (const IoError&) {
            throw;
        } catch (const Error& e) {
            fail(e.what(), reader.consumed());
        }
        if (piece_.open) finishPiece();
        return std::move(result_);
    }

private:
    std::string unitWhat() const {
        const char* k = unit_.kind == UnitKind::Group ? "page group" : unit_.kind == UnitKind::Page ? "page" : "document";
        return std::string(k) + " '" + unitName_ + "' begun at offset " + std::to_string(unit_.offset);
    }

    void fail(const std::string& what, std::uint64_t offset) {
        if (result_.failure) return;
        result_.failure = what + (unit_.open ? "; nothing written for the " + unitWhat() : std::string());
        result_.failureOffset = offset;
    }

    void scan(const AFP_& c, std::vector<std::string>& into) {
        refs_.clear();
        names_.scan(c, refs_);
        for (auto& r : refs_)
            if (r.role != NameRole::Definition) into.push_back(std::move(r.key));
    }

    void field(const AFP_& c, std::uint64_t offset) {
        const std::uint32_t code = c.code;
        if (!doc_.active) return topLevel(c, offset);
        if (opt_.by == SplitBy::Document) return documentUnit(c);
        if (!doc_.prologDone) {
            if (code == kEDT) return endDocument(c);
            if (code != kBNG && code != kBPG) {
                appendFramed(doc_.prolog, c);
                scan(c, doc_.prologRefs);
                if (code == kIMM) {
                    doc_.lastImm.clear();
                    appendFramed(doc_.lastImm, c);
                    doc_.immFromProlog = true;
                }
                return;
            }
            doc_.prologDone = true;
        }
        if (unit_.open) return inUnit(c);
        switch (code) {
        case kBNG:
            if (opt_.by == SplitBy::Group && doc_.groups.size() + 1 == opt_.level) {
                startUnit(UnitKind::Group, c, offset);
            } else {
                closeHead();
                GroupFrame g;
                g.serial = ++serial_;
                g.name8 = rawName8(c);
                g.name = displayName(g.name8);
                appendFramed(g.head, c);
                scan(c, g.refs);
                doc_.groups.push_back(std::move(g));
            }
            return;
        case kBPG: startUnit(UnitKind::Page, c, offset); return;
        case kENG: return endWrapper(c);
        case kEDT: return endDocument(c);
        default: break;
        }
        if ((code == kTLE || code == kNOP) && !doc_.groups.empty() && doc_.groups.back().headOpen) {
            GroupFrame& g = doc_.groups.back();
            appendFramed(g.head, c);
            scan(c, g.refs);
            if (code == kTLE) addTle(g.tles, tleOf(c));
            return;
        }
        closeHead();
        appendFramed(pending_, c);
        scan(c, pendingRefs_);
        if (code == kIMM) {
            pendingImm_.clear();
            appendFramed(pendingImm_, c);
        }
    }

    void closeHead() {
        if (!doc_.groups.empty()) doc_.groups.back().headOpen = false;
    }

    void topLevel(const AFP_& c, std::uint64_t offset) {
        const std::uint32_t code = c.code;
        if (inResourceGroup_) {
            if (code == kERG && !collector_.open()) {
                inResourceGroup_ = false;
                if (rgEnd_.empty()) appendFramed(rgEnd_, c);
                return;
            }
            if (auto r = collector_.feed(c, offset)) addResource(std::move(*r));
            return;
        }
        if (code == kBRG) {
            inResourceGroup_ = true;
            if (rgBegin_.empty()) {
                appendFramed(rgBegin_, c);
                rgName8_ = rawName8(c);
            }
            return;
        }
        if (code == kBDT) return beginDocument(c, offset);
        if (seenDocument_) return;  // End Print File and comments after the documents
        if (code == kBPF) {
            bpfName8_ = rawName8(c);
            hasBpf_ = true;
        }
        if (code != kEPF) appendFramed(fileProlog_, c);
    }

    void addResource(Resource r) {
        const std::size_t i = resources_.size();
        if (!r.name.empty()) byName_.emplace(r.name, i);
        if (!r.objectName.empty() && r.objectName != r.name) byName_.emplace(r.objectName, i);
        resources_.push_back(std::move(r));
    }

    void beginDocument(const AFP_& c, std::uint64_t offset) {
        seenDocument_ = true;
        doc_ = DocState{};
        doc_.active = true;
        doc_.serial = ++serial_;
        doc_.offset = offset;
        doc_.name8 = rawName8(c);
        appendFramed(doc_.begin, c);
        scan(c, doc_.prologRefs);
        pending_.clear();
        pendingRefs_.clear();
        pendingImm_.clear();
        if (opt_.by == SplitBy::Document) {
            startUnit(UnitKind::Document, c, offset);
        }
    }

    void documentUnit(const AFP_& c) {
        unit_.body.addField(c);
        scan(c, unit_.refs);
        countInUnit(c);
        if (c.code == kEDT) {
            completeUnit();
            doc_.active = false;
        }
    }

    void countInUnit(const AFP_& c) {
        if (c.code == kBPG) {
            ++pageNo_;
            if (unit_.info.pages++ == 0) unit_.info.firstPage = pageNo_;
            unit_.seenPage = true;
        } else if (c.code == kTLE && !unit_.seenPage) {
            addTle(unit_.info.tles, tleOf(c));
        } else if (c.code == kBNG && unit_.info.groupName.empty() && unit_.kind == UnitKind::Document) {
            unit_.info.groupName = displayName(rawName8(c));
        } else if (c.code == kIMM) {
            doc_.lastImm.clear();
            appendFramed(doc_.lastImm, c);
            doc_.immFromProlog = false;
        }
    }

    void startUnit(UnitKind kind, const AFP_& c, std::uint64_t offset) {
        closeHead();
        unit_ = Unit{};
        unit_.open = true;
        unit_.kind = kind;
        unit_.offset = offset;
        unitName_ = displayName(rawName8(c));
        if (kind != UnitKind::Document) {
            // What stands between units goes with the next one; the medium
            // map in force is invoked again unless that does so itself.
            if (pendingImm_.empty() && !doc_.immFromProlog) unit_.repeatImm = doc_.lastImm;
            if (!pendingImm_.empty()) {
                doc_.lastImm = pendingImm_;
                doc_.immFromProlog = false;
            }
            unit_.body.add(pending_);
            unit_.refs = std::move(pendingRefs_);
            pending_.clear();
            pendingRefs_.clear();
            pendingImm_.clear();
            for (const auto& g : doc_.groups)
                for (const auto& t : g.tles) addTle(unit_.info.tles, t);
            if (!doc_.groups.empty()) unit_.info.groupName = doc_.groups.back().name;
            if (kind == UnitKind::Group) unit_.info.groupName = unitName_;
            unit_.body.addField(c);
            scan(c, unit_.refs);
            countInUnit(c);
        } else {
            unit_.body.add(doc_.begin);
            unit_.refs = doc_.prologRefs;
        }
    }

    void inUnit(const AFP_& c) {
        unit_.body.addField(c);
        scan(c, unit_.refs);
        if (unit_.kind == UnitKind::Group) {
            // Index tags of a group unit count from its own head on: the
            // tags of the enclosing groups come first and win.
            if (c.code == kTLE && !unit_.seenPage) {
                addTle(unit_.info.tles, tleOf(c));
                return;
            }
            countInUnit(c);
            if (c.code == kBNG) ++unit_.innerDepth;
            else if (c.code == kENG && unit_.innerDepth-- == 0) completeUnit();
        } else {
            countInUnit(c);
            if (c.code == kEPG) completeUnit();
        }
    }

    void completeUnit() {
        unit_.open = false;
        ++result_.units;
        result_.pages += unit_.info.pages;
        if (opt_.select && !opt_.select(unit_.info)) return;
        if (piece_.open && piece_.full) finishPiece();
        if (!piece_.open) {
            piece_ = Piece{};
            piece_.open = true;
            piece_.info.index = result_.pieces + 1;
            piece_.info.first = unit_.info;
        }
        if (unit_.kind != UnitKind::Document) {
            if (!piece_.docOpen) {
                piece_.body.add(doc_.begin);
                piece_.body.add(doc_.prolog);
                piece_.refs.insert(piece_.refs.end(), doc_.prologRefs.begin(), doc_.prologRefs.end());
                piece_.body.add(unit_.repeatImm);
                if (!unit_.repeatImm.empty()) {
                    AFP_ imm{kIMM, Bytes::fromStatic(unit_.repeatImm.data() + 3, unit_.repeatImm.size() - 3)};
                    scan(imm, piece_.refs);
                }
                piece_.docOpen = true;
                piece_.docSerial = doc_.serial;
                piece_.docName8 = doc_.name8;
            }
            syncWrappers();
        }
        piece_.body.addFrom(unit_.body);
        piece_.refs.insert(piece_.refs.end(), unit_.refs.begin(), unit_.refs.end());
        ++piece_.info.units;
        piece_.info.pages += unit_.info.pages;
        if (opt_.every > 0 && piece_.info.units >= opt_.every) piece_.full = true;
        unit_.body.clear();
    }

    // Makes the page groups open in the piece those enclosing the unit.
    void syncWrappers() {
        std::size_t same = 0;
        while (same < piece_.wrappers.size() && same < doc_.groups.size() &&
               piece_.wrappers[same].first == doc_.groups[same].serial)
            ++same;
        while (piece_.wrappers.size() > same) {
            piece_.body.add(endField(kENG, piece_.wrappers.back().second));
            piece_.wrappers.pop_back();
        }
        for (std::size_t i = same; i < doc_.groups.size(); ++i) {
            const GroupFrame& g = doc_.groups[i];
            piece_.body.add(g.head);
            piece_.refs.insert(piece_.refs.end(), g.refs.begin(), g.refs.end());
            piece_.wrappers.emplace_back(g.serial, g.name8);
        }
    }

    // What stands before an End goes with the piece that holds the
    // component, unless it invokes a medium map for what follows.
    void flushPendingInto() {
        if (!pendingImm_.empty()) return;
        piece_.body.add(pending_);
        piece_.refs.insert(piece_.refs.end(), pendingRefs_.begin(), pendingRefs_.end());
        pending_.clear();
        pendingRefs_.clear();
    }

    void endWrapper(const AFP_& c) {
        if (doc_.groups.empty()) {  // an End without its Begin: kept in place
            appendFramed(pending_, c);
            return;
        }
        const std::uint64_t serial = doc_.groups.back().serial;
        if (piece_.open && piece_.docSerial == doc_.serial && !piece_.wrappers.empty() &&
            piece_.wrappers.back().first == serial) {
            flushPendingInto();
            piece_.body.addField(c);
            piece_.wrappers.pop_back();
        }
        doc_.groups.pop_back();
    }

    void endDocument(const AFP_& c) {
        if (piece_.open && piece_.docOpen && piece_.docSerial == doc_.serial) {
            while (!piece_.wrappers.empty()) {
                piece_.body.add(endField(kENG, piece_.wrappers.back().second));
                piece_.wrappers.pop_back();
            }
            flushPendingInto();
            piece_.body.addField(c);
            piece_.docOpen = false;
        }
        pending_.clear();
        pendingRefs_.clear();
        pendingImm_.clear();
        doc_.active = false;
    }

    void finishPiece() {
        Piece p = std::move(piece_);
        piece_ = Piece{};
        if (p.docOpen) {
            for (auto w = p.wrappers.rbegin(); w != p.wrappers.rend(); ++w) p.body.add(endField(kENG, w->second));
            p.body.add(endField(kEDT, p.docName8));
        }
        // The resources the piece uses, and what those use in turn.
        std::vector<char> use(resources_.size(), 0);
        std::vector<std::string> work = std::move(p.refs);
        while (!work.empty()) {
            std::string key = std::move(work.back());
            work.pop_back();
            auto [a, z] = byName_.equal_range(key);
            for (auto it = a; it != z; ++it) {
                if (use[it->second]) continue;
                use[it->second] = 1;
                const auto& more = resources_[it->second].references;
                work.insert(work.end(), more.begin(), more.end());
            }
        }
        bool any = false;
        for (std::size_t i = 0; i < resources_.size(); ++i) {
            if (opt_.allResources || resources_[i].kind == ResourceKind::FormDefinition) use[i] = 1;
            any = any || use[i];
        }
        std::string path = opt_.pathFor(p.info);
        if (opt_.numberCollisions && !usedPaths_.insert(path).second) {
            // Two pieces with the same name: number the later ones.
            std::filesystem::path fp(path);
            const std::string stem = (fp.parent_path() / fp.stem()).string(), ext = fp.extension().string();
            for (std::size_t n = 2;; ++n) {
                std::string alt = stem + "-" + std::to_string(n) + ext;
                if (usedPaths_.insert(alt).second) {
                    path = alt;
                    break;
                }
            }
        }
        writeFileSafely(
            path,
            [&](AfpWriter& w) {
                w.writeRaw(fileProlog_.data(), fileProlog_.size());
                if (any) {
                    w.writeRaw(rgBegin_.data(), rgBegin_.size());
                    for (std::size_t i = 0; i < resources_.size(); ++i)
                        if (use[i]) w.writeRaw(resources_[i].bytes.data(), resources_[i].bytes.size());
                    std::vector<byte> end = rgEnd_.empty() ? endField(kERG, rgName8_) : rgEnd_;
                    w.writeRaw(end.data(), end.size());
                }
                p.body.writeTo(w);
                if (hasBpf_) {
                    std::vector<byte> epf = endField(kEPF, bpfName8_);
                    w.writeRaw(epf.data(), epf.size());
                }
            },
            opt_.inputPath);
        ++result_.pieces;
        if (opt_.keepPaths) result_.paths.push_back(path);
    }

    const SplitOptions& opt_;
    SplitResult result_;
    NameScanner names_;
    std::vector<NameRef> refs_;
    ResourceCollector collector_;
    std::vector<Resource> resources_;
    std::unordered_multimap<std::string, std::size_t> byName_;
    std::vector<byte> fileProlog_, rgBegin_, rgEnd_;
    std::string rgName8_, bpfName8_;
    bool hasBpf_ = false, inResourceGroup_ = false, seenDocument_ = false;
    DocState doc_;
    Unit unit_;
    std::string unitName_;
    std::vector<byte> pending_, pendingImm_;
    std::vector<std::string> pendingRefs_;
    Piece piece_;
    std::uint64_t serial_ = 0, pageNo_ = 0;
    std::unordered_set<std::string> usedPaths_;
};

}  // namespace

SplitResult splitStream(std::unique_ptr<ByteSource> src, const SplitOptions& options) {
    if (!options.pathFor) throw Error("split: no output pattern");
    if (options.level == 0) throw Error("page-group levels start at 1");
    Splitter s(options);
    return s.run(std::move(src));
}

// ---- merge -----------------------------------------------------------------------------------
std::string freshName(const std::string& key, const std::function<bool(const std::string&)>& taken) {
    const std::size_t len = key.size();
    for (std::uint64_t n = 1;; ++n) {
        std::string digits = std::to_string(n);
        if (digits.size() > len) throw Error("no free name of " + std::to_string(len) + " characters for '" + displayName(key) + "'");
        std::string cand = key.substr(0, len - digits.size());
        for (char d : digits) cand += char(0xF0 + (d - '0'));  // EBCDIC digits
        if (cand != key && !taken(cand)) return cand;
    }
}

namespace {

struct MergeInput {
    std::string path;
    std::vector<byte> fileProlog, rgBegin, rgEnd;
    bool hasBpf = false;
    std::string bpfName8;
    std::vector<Resource> resources;
    std::map<std::string, std::string> renames;  // key -> new key
    std::map<std::string, std::size_t> renamedFields;  // old key -> name fields changed
};

// Renames, in place, every name field of a field whose key is in `renames`,
// counting them by old name. Returns whether the field changed.
bool renameIn(std::vector<byte>& payload, std::uint32_t code, const std::map<std::string, std::string>& renames,
              bool definitions, NameScanner& names, std::vector<NameRef>& refs,
              std::map<std::string, std::size_t>& counts) {
    AFP_ c{code, Bytes::fromStatic(payload.data(), payload.size())};
    refs.clear();
    names.scan(c, refs);
    bool changed = false;
    for (const NameRef& r : refs) {
        if (r.role == NameRole::Definition && !definitions) continue;
        auto hit = renames.find(r.key);
        if (hit == renames.end()) continue;
        std::string v = hit->second;
        v.resize(r.length, char(0x40));
        std::copy(v.begin(), v.end(), payload.begin() + std::ptrdiff_t(r.at));
        ++counts[r.key];
        changed = true;
    }
    return changed;
}

// The fields of X'5A'-framed bytes, renamed.
void renameFramed(std::vector<byte>& framed, const std::map<std::string, std::string>& renames,
                  std::map<std::string, std::size_t>& counts) {
    NameScanner names;
    std::vector<NameRef> refs;
    for (std::size_t at = 0; at + 9 <= framed.size();) {
        const std::size_t len = (std::size_t(framed[at + 1]) << 8) | framed[at + 2];
        if (len < 8 || at + 1 + len > framed.size()) break;
        std::vector<byte> payload(framed.begin() + std::ptrdiff_t(at + 3), framed.begin() + std::ptrdiff_t(at + 1 + len));
        const std::uint32_t code = (std::uint32_t(payload[0]) << 16) | (std::uint32_t(payload[1]) << 8) | payload[2];
        if (renameIn(payload, code, renames, true, names, refs, counts))
            std::copy(payload.begin(), payload.end(), framed.begin() + std::ptrdiff_t(at + 3));
        at += 1 + len;
    }
}

void scanInput(MergeInput& in) {
    AfpReader reader(openSource(in.path));
    AFP_ c;
    ResourceCollector collector;
    bool inGroup = false, seenDocument = false;
    int docDepth = 0;
    try {
        while (reader.next(c)) {
            if (inGroup) {
                if (c.code == kERG && !collector.open()) {
                    inGroup = false;
                    if (in.rgEnd.empty()) appendFramed(in.rgEnd, c);
                } else if (auto r = collector.feed(c, reader.offset())) {
                    in.resources.push_back(std::move(*r));
                }
                continue;
            }
            if (docDepth == 0 && c.code == kBRG) {
                inGroup = true;
                if (in.rgBegin.empty()) appendFramed(in.rgBegin, c);
                continue;
            }
            if (c.code == kBDT) {
                ++docDepth;
                seenDocument = true;
            } else if (c.code == kEDT && docDepth > 0) --docDepth;
            else if (docDepth == 0 && !seenDocument) {
                if (c.code == kBPF) {
                    in.hasBpf = true;
                    in.bpfName8 = rawName8(c);
                }
                if (c.code != kEPF) appendFramed(in.fileProlog, c);
            }
        }
    } catch (const Error& e) {
        throw Error("'" + in.path + "': " + e.what());
    }
    if (inGroup || docDepth > 0)
        throw Error("'" + in.path + "': the stream ends inside a " + std::string(inGroup ? "resource group" : "document") +
                    " at offset " + std::to_string(reader.consumed()));
}

}  // namespace

MergeResult mergeFiles(const std::vector<std::string>& inputs, const std::string& output, const MergeOptions& options) {
    if (inputs.empty()) throw Error("merge: no input");
    struct stat out{};
    if (output != "-" && ::stat(output.c_str(), &out) == 0)
        for (const auto& in : inputs) {
            struct stat st{};
            if (::stat(in.c_str(), &st) == 0 && st.st_dev == out.st_dev && st.st_ino == out.st_ino)
                throw IoError("input and output are the same file: '" + output + "'");
        }
    std::vector<MergeInput> ins(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (inputs[i] == "-") throw Error("merge reads each input twice: standard input cannot be an input");
        ins[i].path = inputs[i];
        scanInput(ins[i]);
    }
    std::unordered_set<std::string> taken;
    for (const auto& in : ins)
        for (const auto& r : in.resources) {
            taken.insert(r.name);
            taken.insert(r.objectName);
        }
    // The resources kept: each name once. An input whose resource clashes
    // with an earlier one of the same name is renamed, and renamed again
    // until its resources that still share a name with earlier ones are the
    // same bytes (a resource that names a renamed one changes too).
    struct Kept {
        std::size_t input;
        std::vector<byte> bytes;
    };
    std::vector<Kept> kept;
    std::unordered_map<std::string, std::size_t> keptByName;
    MergeResult result;
    for (std::size_t i = 0; i < ins.size(); ++i) {
        MergeInput& in = ins[i];
        std::vector<std::vector<byte>> patched;
        for (bool again = true; again;) {
            again = false;
            patched.clear();
            in.renamedFields.clear();
            for (const Resource& r : in.resources) {
                patched.push_back(r.bytes);
                if (!in.renames.empty()) renameFramed(patched.back(), in.renames, in.renamedFields);
            }
            for (std::size_t k = 0; k < in.resources.size(); ++k) {
                const Resource& r = in.resources[k];
                if (r.name.empty() || in.renames.count(r.name)) continue;
                auto hit = keptByName.find(r.name);
                if (hit == keptByName.end() || kept[hit->second].bytes == patched[k]) continue;
                if (!options.rename)
                    throw Error("resource '" + displayName(r.name) + "' of '" + in.path +
                                "' differs from the resource of that name in '" + ins[kept[hit->second].input].path +
                                "'; nothing written");
                std::string fresh = freshName(r.name, [&](const std::string& s) { return taken.count(s) > 0; });
                taken.insert(fresh);
                in.renames[r.name] = fresh;
                again = true;
            }
        }
        for (std::size_t k = 0; k < in.resources.size(); ++k) {
            const Resource& r = in.resources[k];
            std::string name = r.name;
            if (auto rn = in.renames.find(name); rn != in.renames.end()) name = rn->second;
            if (!name.empty() && keptByName.count(name)) {
                ++result.duplicates;
                continue;
            }
            if (!name.empty()) keptByName.emplace(name, kept.size());
            kept.push_back(Kept{i, std::move(patched[k])});
        }
    }
    result.resources = kept.size();

    const MergeInput* prologFrom = &ins[0];
    const MergeInput* groupFrom = nullptr;
    for (const auto& in : ins)
        if (!in.rgBegin.empty()) {
            groupFrom = &in;
            break;
        }
    writeFileSafely(output, [&](AfpWriter& w) {
        w.writeRaw(prologFrom->fileProlog.data(), prologFrom->fileProlog.size());
        if (!kept.empty() && groupFrom) {
            w.writeRaw(groupFrom->rgBegin.data(), groupFrom->rgBegin.size());
            for (const auto& k : kept) w.writeRaw(k.bytes.data(), k.bytes.size());
            std::vector<byte> end = groupFrom->rgEnd.empty() ? endField(kERG, rawName8(AFP_{kBRG, Bytes::fromStatic(groupFrom->rgBegin.data() + 3, groupFrom->rgBegin.size() - 3)})) : groupFrom->rgEnd;
            w.writeRaw(end.data(), end.size());
        }
        // Documents, each input in turn. A held End Document is written when
        // the next document turns out not to continue it.
        std::vector<byte> heldEnd, lastHead, head;
        NameScanner names;
        std::vector<NameRef> refs;
        std::vector<byte> payload;
        for (auto& in : ins) {
            AfpReader reader(openSource(in.path));
            AFP_ c;
            bool inGroup = false, inHead = false;
            int docDepth = 0;
            while (reader.next(c)) {
                if (inGroup) {
                    if (c.code == kERG) inGroup = false;  // its resources are in the merged group
                    continue;
                }
                if (docDepth == 0) {
                    if (c.code == kBRG) {
                        inGroup = true;
                        continue;
                    }
                    if (c.code != kBDT) {
                        // Print-file fields: Begin/End Print File and what precedes the
                        // first document come from the first input only.
                        continue;
                    }
                }
                const AFP_* out = &c;
                AFP_ renamed;
                if (!in.renames.empty()) {
                    payload.assign(c.payload.begin(), c.payload.end());
                    // In documents only the names that refer to resources change:
                    // pages and objects keep their own names.
                    if (renameIn(payload, c.code, in.renames, false, names, refs, in.renamedFields)) {
                        renamed = AFP_{c.code, Bytes::copy(payload.data(), payload.size())};
                        out = &renamed;
                    }
                }
                if (c.code == kBDT && docDepth++ == 0) {
                    head.clear();
                    appendFramed(head, *out);
                    inHead = true;
                    continue;
                }
                if (inHead) {
                    if (c.code != kBNG && c.code != kBPG && c.code != kEDT) {
                        appendFramed(head, *out);
                        continue;
                    }
                    inHead = false;
                    if (options.joinDocuments && !heldEnd.empty() && head == lastHead) {
                        heldEnd.clear();
                    } else {
                        w.writeRaw(heldEnd.data(), heldEnd.size());
                        heldEnd.clear();
                        w.writeRaw(head.data(), head.size());
                        ++result.documents;
                    }
                    lastHead = head;
                }
                if (c.code == kEDT && --docDepth == 0) {
                    if (options.joinDocuments) {
                        heldEnd.clear();
                        appendFramed(heldEnd, *out);
                    } else {
                        w.write(*out);
                    }
                    continue;
                }
                w.write(*out);
            }
        }
        w.writeRaw(heldEnd.data(), heldEnd.size());
        if (prologFrom->hasBpf) {
            std::vector<byte> epf = endField(kEPF, prologFrom->bpfName8);
            w.writeRaw(epf.data(), epf.size());
        }
    });
    for (const auto& in : ins)
        for (const auto& [from, to] : in.renames)
            result.renamed.push_back({in.path, displayName(from), displayName(to),
                                      in.renamedFields.count(from) ? in.renamedFields.at(from) : 0});
    return result;
}

}  // namespace pressel
