#include "common/format.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace pintle {
namespace {

void AppendFixed(std::wstring& out, double v, int precision) {
    char buf[512];
    int n = 0;
    if (std::isfinite(v)) {
        // The same correctly rounded digits as printf's "%.*f", several times
        // faster (every log line with a price has one). 512 bytes hold the
        // largest double with 60 decimals.
        const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::fixed, precision);
        n = r.ec == std::errc() ? static_cast<int>(r.ptr - buf) : 0;
    } else {
        n = std::snprintf(buf, sizeof buf, "%.*f", precision, v);  // printf's own words for NaN and infinity
    }
    for (int i = 0; i < n && i < static_cast<int>(sizeof buf) - 1; ++i) out.push_back(static_cast<wchar_t>(buf[i]));
}

void AppendInt(std::wstring& out, long long v) {
    wchar_t buf[24];
    int n = 0;
    // Digits of the magnitude, taken as unsigned so the smallest value has one.
    unsigned long long m = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    do {
        buf[n++] = static_cast<wchar_t>(L'0' + m % 10);
        m /= 10;
    } while (m != 0);
    if (v < 0) out.push_back(L'-');
    while (n > 0) out.push_back(buf[--n]);
}

}  // namespace

std::wstring FormatText(std::wstring_view format, std::initializer_list<FormatArg> args) {
    std::wstring out;
    AppendFormatted(out, format, args);
    return out;
}

void AppendFormatted(std::wstring& out, std::wstring_view format, std::initializer_list<FormatArg> args) {
    const FormatArg* next = args.begin();
    const FormatArg* end = args.end();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (c != L'%' || i + 1 >= format.size()) {
            out.push_back(c);
            continue;
        }
        std::size_t j = i + 1;
        if (format[j] == L'%') {
            out.push_back(L'%');
            i = j;
            continue;
        }
        int precision = 6;
        if (format[j] == L'.') {
            precision = 0;
            ++j;
            while (j < format.size() && format[j] >= L'0' && format[j] <= L'9') {
                precision = precision * 10 + (format[j] - L'0');
                if (precision > 60) precision = 60;
                ++j;
            }
        }
        if (j >= format.size() || (format[j] != L'd' && format[j] != L's' && format[j] != L'f')) {
            out.push_back(c);
            continue;
        }
        const wchar_t conv = format[j];
        i = j;
        if (next == end) continue;  // a missing argument prints nothing
        const FormatArg& a = *next++;
        switch (conv) {
        case L'd':
            if (a.kind_ == FormatArg::Int) AppendInt(out, a.i_);
            else if (a.kind_ == FormatArg::Real) AppendInt(out, static_cast<long long>(a.d_));
            else out += a.s_;
            break;
        case L'f':
            if (a.kind_ == FormatArg::Real) AppendFixed(out, a.d_, precision);
            else if (a.kind_ == FormatArg::Int) AppendFixed(out, static_cast<double>(a.i_), precision);
            else out += a.s_;
            break;
        default:
            if (a.kind_ == FormatArg::Text) out += a.s_;
            else if (a.kind_ == FormatArg::Int) AppendInt(out, a.i_);
            else AppendFixed(out, a.d_, 6);
            break;
        }
    }
}

}  // namespace pintle
