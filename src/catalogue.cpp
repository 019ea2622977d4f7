// The operation table of every record type of the code tables, built from
// the record declarations by the catalogue's shards (catalogue_shard.hpp).
#include "catalogue_shard.hpp"

namespace pressel {

namespace {

struct OpsTable {
    RecordOps ops[idx_tableTypes];
    OpsTable() {
        catalogue::fillShard<0>(ops);
        catalogue::fillShard<1>(ops);
        catalogue::fillShard<2>(ops);
        catalogue::fillShard<3>(ops);
        catalogue::fillShard<4>(ops);
        catalogue::fillShard<5>(ops);
        static_assert(catalogue::shards == 6, "every shard fills its entries");
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
