// Text of the journal lines, from the bytes a window received. Byte-level:
// no Windows header, so every line can be checked without a window.
//
// A line is space-separated key=value fields. No value contains a space or a
// line break: code and key texts escape them (see EscapeText), numbers never
// have them. The "seq=<n> " prefix is added by the Journal, not here.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kovalt {

// WM_COPYDATA: envelope, a decoded CommandRecord (196 bytes, any kind but the
// quote list) or QuoteEntry list (kind 12, a non-zero multiple of 98 bytes),
// and always the whole payload as hex last.
std::string FormatCopyData(std::string_view window, uint64_t kind, uint64_t wparam,
                           std::span<const uint8_t> payload);

// Posted notice 1142; wParam and lParam as signed decimal.
std::string FormatNotice(std::string_view window, int64_t wparam, int64_t lparam);

// Any other message worth recording (the control messages).
std::string FormatOther(std::string_view window, unsigned message);

// Printable ASCII other than space, '=' and '\' as it stands; every other
// byte as \xNN (lowercase hex).
std::string EscapeText(std::string_view bytes);

// Lowercase hex, two digits a byte, no separators.
std::string HexBytes(std::span<const uint8_t> bytes);

// "%.9g": enough digits to give back the exact float.
std::string FloatText(float value);

}  // namespace kovalt
