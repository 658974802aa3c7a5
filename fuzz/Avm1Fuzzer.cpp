// libFuzzer target: arbitrary bytes as an action block (first byte: movie version), through
// the action reader, the interpreter and its library. Built with -DZD_FUZZ=ON under clang;
// see fuzz/README.md.

#include <cstddef>
#include <cstdint>

#include "FuzzActions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zd::fuzz::runActions({data, size});
    return 0;
}
