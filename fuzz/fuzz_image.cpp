// libFuzzer entry point of the image target (see image_target.hpp).
#include "image_target.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return pressel::fuzz::fuzzImage(data, size);
}
