#include "capi.h"

#include <cstdint>
#include <cstdio>

namespace pintle_call {
namespace {

using GetPosInfoFn = float (*)(const wchar_t*, int32_t, int32_t);
using GetAllCodesFn = const wchar_t* (*)(int32_t);
using GetAllCodesAFn = void (*)(char*, int32_t, int32_t);
using GetAllOrdersFn = const wchar_t* (*)(int32_t, int32_t);

const wchar_t kUsage[] =
    L"error usage: capi GetPosInfo CODE|null SELECTOR ASSISTANT | capi GetAccountInfo SELECTOR ASSISTANT\n"
    L"             | capi GetAllPositionCode ASSISTANT | capi GetAllPositionCodeA SIZE ASSISTANT [null]\n"
    L"             | capi GetAllOrderCode ASSISTANT KIND\n";

std::wstring Number(double v) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.9g", v);
    return buf;
}

int32_t Int(const std::wstring& w) { return static_cast<int32_t>(_wtoi(w.c_str())); }

}  // namespace

std::wstring RunCApi(HMODULE dll, const std::vector<std::wstring>& w) {
    if (w.size() < 3) return kUsage;
    const std::wstring& name = w[1];
    const std::string ansi(name.begin(), name.end());
    FARPROC fn = GetProcAddress(dll, ansi.c_str());
    if (!fn) return L"error no export " + name + L"\n";
    const std::wstring head = L"capi " + name + L" -> ";

    if ((name == L"GetPosInfo" && w.size() == 5) || (name == L"GetAccountInfo" && w.size() == 4)) {
        const bool pos = name == L"GetPosInfo";
        const wchar_t* code = pos ? (w[2] == L"null" ? nullptr : w[2].c_str()) : nullptr;
        const float v = reinterpret_cast<GetPosInfoFn>(fn)(code, Int(w[pos ? 3 : 2]), Int(w[pos ? 4 : 3]));
        return head + Number(v) + L"\n";
    }
    if (name == L"GetAllPositionCode" && w.size() == 3) {
        const wchar_t* text = reinterpret_cast<GetAllCodesFn>(fn)(Int(w[2]));
        return head + (text ? text : L"(null)") + L"\n";
    }
    if (name == L"GetAllOrderCode" && w.size() == 4) {
        const wchar_t* text = reinterpret_cast<GetAllOrdersFn>(fn)(Int(w[2]), Int(w[3]));
        return head + (text ? text : L"(null)") + L"\n";
    }
    if (name == L"GetAllPositionCodeA" && (w.size() == 4 || (w.size() == 5 && w[4] == L"null"))) {
        // Four guard bytes beyond the size the call is told: a write there
        // shows in the output.
        const int32_t size = Int(w[2]);
        std::vector<unsigned char> buffer(static_cast<std::size_t>(size > 0 ? size : 0) + 4, 0xEE);
        char* given = w.size() == 5 ? nullptr : reinterpret_cast<char*>(buffer.data());
        reinterpret_cast<GetAllCodesAFn>(fn)(given, size, Int(w[3]));
        std::wstring hex;
        for (unsigned char b : buffer) {
            wchar_t two[3];
            std::swprintf(two, 3, L"%02x", b);
            hex += two;
        }
        return head + hex + L"\n";
    }
    return kUsage;
}

}  // namespace pintle_call
