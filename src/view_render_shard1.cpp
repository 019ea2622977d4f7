// Shard 1 of the direct view renderers (see view_render.hpp).
#define PRESSEL_VIEW_RENDER_SHARD 1
#include "view_render.hpp"
