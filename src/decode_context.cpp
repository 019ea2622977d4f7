// Repeating-group lengths that a walk learns from the control records of a
// resource (CPC for the code page index, FNC for the font index).
#include "pressel/records/core.hpp"

namespace pressel {

namespace {
const DecodeContext kNone{};
thread_local const DecodeContext* tCurrent = nullptr;

// Offsets in the bytes a record reader consumes (identifier, flag byte and
// two reserved bytes, then the data): CPC states the CPI group length at
// data offset 9, FNC the FNI group length at data offset 15.
constexpr std::size_t kCpcCpiLength = 6 + 9;
constexpr std::size_t kFncFniLength = 6 + 15;
}  // namespace

void DecodeContext::observe(const AFP_& c) {
    switch (c.code) {
    case 0xD3A887: cpiGroupLength = 0; break;  // Begin Code Page
    case 0xD3A889: fniGroupLength = 0; break;  // Begin Font
    case 0xD3A787: {                           // Code Page Control
        const Bytes b = packChunk(c);
        if (b.size() > kCpcCpiLength) cpiGroupLength = b[kCpcCpiLength];
        break;
    }
    case 0xD3A789: {  // Font Control
        const Bytes b = packChunk(c);
        if (b.size() > kFncFniLength) fniGroupLength = b[kFncFniLength];
        break;
    }
    default: break;
    }
}

const DecodeContext& currentDecodeContext() noexcept { return tCurrent ? *tCurrent : kNone; }

DecodeScope::DecodeScope(const DecodeContext& ctx) noexcept : previous_(tCurrent) { tCurrent = &ctx; }
DecodeScope::~DecodeScope() { tCurrent = previous_; }

}  // namespace pressel
