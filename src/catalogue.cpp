// The operation table of every record type of the code tables, built from
// the record declarations.
#include "pressel/catalogue.hpp"

#include "pressel/records.hpp"
#include "pressel/view.hpp"

namespace pressel {

namespace {

template <class T>
T decodeBytes(const Bytes& b) {
    ByteReader r(b);
    return recGet<T>(r);
}

template <class T>
constexpr RecordOps makeOps() {
    return RecordOps{
        nullptr,
        [](std::string& out, int prec, const Bytes& b) { showsPrec(out, prec, decodeBytes<T>(b)); },
        [](const Bytes& b) { return recBytes(decodeBytes<T>(b)); },
        [](const Bytes& b) { return recSizeOf(decodeBytes<T>(b)); },
        [](const Bytes& b) {
            ByteReader r(b);
            (void)recGet<T>(r);
            return r.position();
        },
        [](const Bytes& b) { return recView(decodeBytes<T>(b)); },
    };
}

struct OpsTable {
    RecordOps ops[idx_tableTypes];
    OpsTable() {
#define PRESSEL_X(code, name) ops[idx_##name] = makeOps<name>();
        PRESSEL_AFP_CODES(PRESSEL_X)
        PRESSEL_T_CODES(PRESSEL_X)
        PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
        ops[idx_Unknown] = makeOps<Unknown>();
        ops[idx_T_Unknown] = makeOps<T_Unknown>();
        ops[idx_T_Raw] = makeOps<T_Raw>();
        ops[idx_PTX_Unknown] = makeOps<PTX_Unknown>();
        ops[idx_PTX_Text] = makeOps<PTX_Text>();
        ops[idx_PTX_Raw] = makeOps<PTX_Raw>();
        ops[idx_MCF_T] = makeOps<MCF_T>();
        for (unsigned i = 0; i < idx_tableTypes; ++i) ops[i].type = &tableType(RecordIndex(i));
    }
};

}  // namespace

const RecordOps& recordOps(TypeId type) {
    static const OpsTable table;
    if (!type || type->index >= idx_tableTypes) throw Error("recordOps: not a record type of the code tables");
    return table.ops[type->index];
}

}  // namespace pressel
