// The readers' fuzz target, shared by the libFuzzer build and the replay of
// saved inputs that runs in every native test build.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
