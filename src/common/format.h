// printf-style formatting of the plug-in's fixed message texts, with typed
// arguments instead of varargs: a wrong argument type cannot read the stack,
// and "%s" always means wide text whichever C run-time the DLL is built with.
// Supports %d, %s, %f / %.Nf and %%; anything else is copied as it stands.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pintle {

class FormatArg {
public:
    FormatArg(int v) : kind_(Int), i_(v) {}
    FormatArg(long v) : kind_(Int), i_(v) {}
    FormatArg(long long v) : kind_(Int), i_(v) {}
    FormatArg(unsigned v) : kind_(Int), i_(v) {}
    FormatArg(double v) : kind_(Real), d_(v) {}
    FormatArg(float v) : kind_(Real), d_(v) {}
    FormatArg(const wchar_t* s) : kind_(Text), s_(s ? s : L"") {}
    FormatArg(const std::wstring& s) : kind_(Text), s_(s) {}
    FormatArg(std::wstring_view s) : kind_(Text), s_(s) {}

    enum Kind { Int, Real, Text };
    Kind kind_;
    long long i_ = 0;
    double d_ = 0.0;
    std::wstring_view s_;
};

std::wstring FormatText(std::wstring_view format, std::initializer_list<FormatArg> args);
// The same, appended to `out` (whose storage a caller may reuse).
void AppendFormatted(std::wstring& out, std::wstring_view format, std::initializer_list<FormatArg> args);

}  // namespace pintle
