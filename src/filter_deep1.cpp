// Shard 1 of the nested-stream filters of structured fields (see filter_deep.hpp).
#define PRESSEL_FILTER_SHARD 1
#include "filter_deep.hpp"
