// Shard 2 of the direct view renderers (see view_render.hpp).
#define PRESSEL_VIEW_RENDER_SHARD 2
#include "view_render.hpp"
