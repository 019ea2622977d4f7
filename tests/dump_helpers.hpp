// Shared helper of the dump tests: the annotated form of a run of fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pressel/view/dump.hpp"

namespace pressel::test {

// The annotated form of the fields, one after another through one state,
// each at the offset it would have in a stream of clean framing.
inline std::string annotated(const std::vector<AFP_>& cs) {
    std::string out;
    DumpState st;
    std::uint64_t offset = 0;
    for (const AFP_& c : cs) {
        st.observe(c);
        annotateField(out, st, offset, c);
        offset += c.payload.size() + 3;
    }
    return out;
}

}  // namespace pressel::test
