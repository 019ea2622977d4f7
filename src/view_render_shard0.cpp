// Shard 0 of the direct view renderers (see view_render.hpp).
#define PRESSEL_VIEW_RENDER_SHARD 0
#include "view_render.hpp"
