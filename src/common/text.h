// Text between the code pages the plug-in meets: the terminal's labels, the
// records for the assistant and INI files are in the system ANSI code page,
// the log is UTF-8, and the plug-in itself works in UTF-16 (wchar_t).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace pintle {

// System ANSI code page (936 on a Chinese Windows). Windows adapter.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

// Whether every byte is below 0x80. Every ANSI code page maps those bytes to
// the same characters, so ASCII text needs no conversion between the ANSI
// code page and UTF-16 (each byte is one character).
bool IsAscii(std::string_view text);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD. Byte-level, no Windows.
std::string WideToUtf8(std::wstring_view text);
// The same, appended to `out` (whose storage a caller may reuse line after line).
void AppendUtf8(std::string& out, std::wstring_view text);

// Bytes of a fixed-size narrow field up to its first zero byte, never past
// `size` bytes, so a field without a terminator is still read safely.
std::string_view FieldText(const char* field, std::size_t size);

// Copies text into a fixed narrow field, cut to leave room for the zero byte;
// the rest of the field is zero-filled.
void CopyToField(char* field, std::size_t size, std::string_view text);

}  // namespace pintle
