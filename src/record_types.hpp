// Every record type of the catalogue's table, as X(code, name): the coded
// types of the code tables, then those read without a code of their own
// (code 0). The per-type tables that are built in shards (the catalogue's
// operations, the direct view renderings) fill their entries from it.
#pragma once

#include "pressel/stream/codes.hpp"

#define PRESSEL_UNCODED_RECORD_TYPES(X) \
    X(0, Unknown)                       \
    X(0, T_Unknown)                     \
    X(0, T_Raw)                         \
    X(0, PTX_Unknown)                   \
    X(0, PTX_Text)                      \
    X(0, PTX_Raw)                       \
    X(0, MCF_T)

#define PRESSEL_EACH_RECORD_TYPE(X) \
    PRESSEL_AFP_CODES(X)            \
    PRESSEL_T_CODES(X)              \
    PRESSEL_PTX_CODES(X)            \
    PRESSEL_UNCODED_RECORD_TYPES(X)
