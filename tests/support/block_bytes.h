// DZH block files spelled out byte by byte for tests: a header and records
// of text, zero-padded to the record size.
#pragma once
#include <initializer_list>
#include <string>

namespace pintle::test {

inline std::string Records(std::string header, std::size_t size, std::initializer_list<std::string> texts) {
    for (const auto& t : texts) header += t + std::string(size - t.size(), '\0');
    return header;
}
inline std::string A5(std::initializer_list<std::string> texts) { return Records(std::string("\xA5\0\0\0", 4), 12, texts); }
inline std::string A6(std::initializer_list<std::string> texts) { return Records(std::string("\xA6\0\0\0\0", 5), 16, texts); }

}  // namespace pintle::test
