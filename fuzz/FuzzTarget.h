#pragma once
// What every fuzz target shares: libFuzzer's entry hands the input to the
// target's Fuzz, and a broken rule stops the run where it broke.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace kalo::fuzz {

void Fuzz(const uint8_t* data, size_t size);

inline std::string Text(const uint8_t* data, size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

inline void AbortIf(bool broken)
{
    if (broken)
        std::abort();
}

} // namespace kalo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kalo::fuzz::Fuzz(data, size);
    return 0;
}
