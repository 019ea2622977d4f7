// Shard 0 of the annotated dump's per-type annotators (see dump_annotate.hpp).
#define PRESSEL_DUMP_SHARD 0
#include "dump_annotate.hpp"
