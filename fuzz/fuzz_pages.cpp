// libFuzzer entry point of the pages target (see targets.hpp).
#include "targets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return pressel::fuzz::fuzzPages(data, size);
}
