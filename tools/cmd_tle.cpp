// `pressel tle FILE`: the index tags (TLE) of a stream, each with the page or
// page group it belongs to. Built from the effects of filter.hpp, which reach
// the triplets inside each TLE.
#include <optional>
#include <string>
#include <vector>

#include "command.hpp"
#include "pressel/text/detail/decode_codepage.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/filter.hpp"
#include "pressel/stream/io.hpp"

namespace pressel::tool {
namespace {

// True when the nested item decodes as its record.
template <class T>
bool decodes(const Lazy<T>& item) {
    try {
        (void)item.get();
        return true;
    } catch (const Error&) {
        return false;
    }
}

// Where the record's 8-byte name stands: after the identifier and the flag and
// reserved bytes (the two leading N3 fields), at the offset its facts give.
template <HasNameAt T>
constexpr std::size_t nameOffset() {
    return fieldByteOffset<T, 2>() + RecordFacts<T>::nameAt;
}

// The EBCDIC name of a record of type T, if its bytes hold one.
template <class T>
std::optional<std::string> nameOf(const AFP_& c) {
    const Bytes b = packChunk(c);
    constexpr std::size_t at = nameOffset<T>();
    if (b.size() < at + 8) return std::nullopt;
    return std::string(b.slice(at, 8).chars());
}

std::string trimBlanks(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

const CommandSpec tleSpec{"tle", "FILE", {}, 1, 1};

// A name or value for display: converted from code page 500, trailing blanks dropped.
std::string display(const std::string& ebcdic) { return trimBlanks(ebcdicToUtf8(ebcdic)); }

int cmdTle(const std::vector<std::string>& argv) {
    std::vector<std::string> args = parseCommandArgs(tleSpec, argv).operands;
    AfpStream in = readAFP(args[0]);
    OutputFile out("-");
    std::vector<std::string> groups, pages;
    std::uint64_t offset = 0;
    std::string line;
    const AFP_* current = nullptr;
    auto nameOfCurrent = [&]<class T>(const Lazy<T>&) { return display(nameOf<T>(*current).value_or("")); };

    // Names and values in the code page the tag's CGCSGID triplet declares
    // (code page 500 when it declares none).
    std::string attr, value;
    int codePage = 500;
    auto text = [&](const Bytes& b) { return trimBlanks(decodeCodePage(codePage, b.chars())); };
    // A triplet that is too short for its record is passed over, as every
    // command keeps it (and `check` reports it).
    const ChunkEffects<T_> tripletEffects{
        effect<T_FQN>([&](const Lazy<T_FQN>& t) {
            if (!decodes(t)) return;
            if (t->t_fqn_SubType.value == 0x0B) attr = text(t->t_fqn.bytes);
        }),
        effect<T_AV>([&](const Lazy<T_AV>& t) {
            if (decodes(t)) value = text(t->t_av.bytes);
        }),
    };
    const ChunkEffects<AFP_> effects{
        effect<BNG>([&](const Lazy<BNG>& r) { groups.push_back(nameOfCurrent(r)); }),
        effect<ENG>([&](const Lazy<ENG>&) {
            if (!groups.empty()) groups.pop_back();
        }),
        effect<BPG>([&](const Lazy<BPG>& r) { pages.push_back(nameOfCurrent(r)); }),
        effect<EPG>([&](const Lazy<EPG>&) {
            if (!pages.empty()) pages.pop_back();
        }),
        effect<TLE>([&](const TLE& v) {
            attr.clear();
            value.clear();
            codePage = 500;
            for (const T_& t : v.tle_Chunks)
                if (t.frame == Frame::Item && t.code == 0x01 && t.payload.size() >= 5 &&
                    knownCodePage(t.payload[3] << 8 | t.payload[4]))
                    codePage = t.payload[3] << 8 | t.payload[4];
            chunksMapFiltersM_(v.tle_Chunks, tripletEffects);
            line = std::to_string(offset);
            line += '\t';
            line += !pages.empty() ? pages.back() : !groups.empty() ? groups.back() : std::string();
            line += '\t';
            line += attr;
            line += '\t';
            line += value;
            line += '\n';
            out.append(line);
        }),
    };
    AfpReader& reader = in.reader();
    try {
        AFP_ c;
        while (reader.next(c)) {
            offset = reader.offset();
            current = &c;
            try {
                chunkMapFiltersM_(c, effects);
            } catch (const IoError&) {
                throw;
            } catch (const std::exception& e) {
                throw Error(std::string(e.what()) + " (in " + fieldAt(c.code, offset) + ")");
            }
        }
    } catch (const OutputClosed&) {
        throw;
    } catch (const Error& e) {
        flushBeforeError(out);
        printError(e.what());
        return 1;
    }
    out.commit();
    return 0;
}

Register tle{{"tle", "list the index tags: offset, page or page group, attribute, value", cmdTle}};

}  // namespace
}  // namespace pressel::tool
