// Shard 2 of the nested-stream filters of structured fields (see filter_deep.hpp).
#define PRESSEL_FILTER_SHARD 2
#include "filter_deep.hpp"
