// The whole record catalogue: structured fields, their repeating groups,
// triplets, control sequences and the fallbacks.
#pragma once

#include "pressel/records/afp.hpp"
#include "pressel/records/controls.hpp"
#include "pressel/records/core.hpp"
#include "pressel/records/triplets.hpp"

namespace pressel {

// The operations of the table's record types are instantiated once, by the
// catalogue (src/catalogue_shard*.cpp); code that reads or writes a record of
// the table uses those instances.
#define PRESSEL_X(code, name) extern template struct RecordCodec<name>;
PRESSEL_AFP_CODES(PRESSEL_X)
PRESSEL_T_CODES(PRESSEL_X)
PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
extern template struct RecordCodec<T_Unknown>;
extern template struct RecordCodec<T_Raw>;
extern template struct RecordCodec<PTX_Unknown>;
extern template struct RecordCodec<PTX_Text>;
extern template struct RecordCodec<PTX_Raw>;
extern template struct RecordCodec<MCF_T>;

}  // namespace pressel
