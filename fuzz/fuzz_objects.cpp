// libFuzzer entry point of the objects target (see objects_target.hpp).
#include <cstdlib>

#include "objects_target.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // cairo's and fontconfig's process-wide data is freed at exit, so that
    // the leak checker sees none of it.
    static const bool cleanup = (std::atexit([] { pressel::render::releaseStaticData(); }), true);
    (void)cleanup;
    return pressel::fuzz::fuzzObjects(data, size);
}
