// Shard 5 of the catalogue's operation table (see catalogue_shard.hpp).
#define PRESSEL_CATALOGUE_SHARD 5
#include "catalogue_shard.hpp"
