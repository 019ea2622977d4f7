// libFuzzer entry point of the objects target (see objects_target.hpp).
#include "objects_target.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return pressel::fuzz::fuzzObjects(data, size);
}
