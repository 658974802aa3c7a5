// libFuzzer target: arbitrary bytes as a movie, through parsing, the display model and the
// renderer. Built with -DZD_FUZZ=ON under clang; see fuzz/README.md.

#include <cstddef>
#include <cstdint>

#include "FuzzMovie.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zd::fuzz::runMovie({data, size});
    return 0;
}
