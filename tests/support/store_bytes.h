// Store files spelled out byte by byte for tests, independently of the
// store's own encoder: headers, 48- and 40-byte records, history entries.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

namespace pintle::test {

inline std::string Le32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
inline std::string Le64(double v) { return std::string(reinterpret_cast<const char*>(&v), 8); }
inline std::string CodeField(std::string code) {
    code.resize(12, '\0');
    return code;
}

// {version or format, count}
inline std::string Head(int32_t first, int32_t count) {
    return Le32(static_cast<uint32_t>(first)) + Le32(static_cast<uint32_t>(count));
}
// Versions 3 and 4.
inline std::string Rec48(const std::string& code, int32_t qualifier, int32_t assistant, int32_t slot, uint8_t period,
                         double value, uint32_t time) {
    return CodeField(code) + Le32(qualifier) + Le32(assistant) + Le32(slot) + std::string(1, char(period)) +
           std::string(7, '\0') + Le64(value) + Le32(time) + Le32(0);
}
// Versions 1 and 2.
inline std::string Rec40(const std::string& code, int32_t qualifier, int32_t slot, int32_t period, double value,
                         uint32_t time) {
    return CodeField(code) + Le32(qualifier) + Le32(slot) + Le32(period) + Le64(value) + Le32(time) + Le32(0);
}
inline std::string Entry(uint32_t time, double value) { return Le32(time) + Le32(0) + Le64(value); }

}  // namespace pintle::test
