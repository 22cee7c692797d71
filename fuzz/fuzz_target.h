// The one function every fuzz target defines. libFuzzer calls it in the fuzz
// build; the replay runner calls it on the kept corpus in the test build.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
