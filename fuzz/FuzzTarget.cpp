#include <cstddef>
#include <cstdint>

#include "fuzz/RadioStream.h"

// Every input is a line to a radio that may send anything: the checks abort on the first rule the
// link breaks, and the sanitizers on the first bad memory access or undefined operation.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnel::fuzz::CheckRadioStream(data, size);
    return 0;
}
