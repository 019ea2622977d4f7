// libFuzzer entry point of the file and pipe reader target (see targets.hpp).
#include "targets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return pressel::fuzz::fuzzReader(data, size);
}
