// What every fuzzer shares: a check that stops the program (libFuzzer counts
// it as a finding and keeps the input), and the split of an input into the
// bytes under test and a fixed block of choices at its end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace pintle::fuzz {

// The last `choice_bytes` bytes of an input steer the run (modes, counts,
// faults); the bytes before them are the file, page or record under test.
// An input shorter than that is all choices and no bytes.
struct SplitInput {
    SplitInput(const uint8_t* data, std::size_t size, std::size_t choice_bytes)
        : bytes(reinterpret_cast<const char*>(data), size > choice_bytes ? size - choice_bytes : 0),
          choices(data + bytes.size(), size - bytes.size()) {}

    std::string_view bytes;
    FuzzedDataProvider choices;
};

}  // namespace pintle::fuzz
