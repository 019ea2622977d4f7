// Shard 0 of the nested-stream filters of structured fields (see filter_deep.hpp).
#define PRESSEL_FILTER_SHARD 0
#include "filter_deep.hpp"
