// Record declarations checked at compile time. Built once per case with
// RECORD_DECL_CASE set: the "exact" case must compile, every other case is a
// declaration that gets its field list wrong and must not.
#include "pressel/record.hpp"

namespace pressel {

struct Probe {
    N3 probe_Type; N3 probe_; N2 probe_X; N2 probe_Y; Buffer0 probe_Data;
    friend bool operator==(const Probe&, const Probe&) = default;
};

#if RECORD_DECL_CASE == 0  // exact: every member once, in declaration order
PRESSEL_GROUP_RECORD(Probe, probe_Type, probe_, probe_X, probe_Y, probe_Data)
#elif RECORD_DECL_CASE == 1  // a member listed twice, another dropped
PRESSEL_GROUP_RECORD(Probe, probe_Type, probe_, probe_X, probe_X, probe_Data)
#elif RECORD_DECL_CASE == 2  // a member dropped
PRESSEL_GROUP_RECORD(Probe, probe_Type, probe_, probe_X, probe_Data)
#elif RECORD_DECL_CASE == 3  // two members of one type swapped
PRESSEL_GROUP_RECORD(Probe, probe_Type, probe_, probe_Y, probe_X, probe_Data)
#elif RECORD_DECL_CASE == 4  // two members of different types swapped
PRESSEL_GROUP_RECORD(Probe, probe_Type, probe_X, probe_, probe_Y, probe_Data)
#endif

}  // namespace pressel
