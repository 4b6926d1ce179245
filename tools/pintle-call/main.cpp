// pintle-call: a stand-in terminal. It loads Pintle.dll from the directory it
// sits in (as a terminal loads its plug-ins), builds FormulaCall records or
// TDX arrays from its command line or a script, calls the DLL and prints what
// came back. The DLL keeps state across calls, so a script runs many calls in
// one process.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "capi.h"
#include "formula/formula_call.h"
#include "script.h"

namespace {

using pintle::BarRecord;
using pintle::FormulaArg;
using pintle::FormulaCall;
using namespace pintle_call;

using FormulaFn = int32_t (*)(FormulaCall*);
using TdxFn = void (*)(int32_t, float*, float*, float*, float*);
using RegisterFn = int32_t (*)(void**);

// Exit codes, and what a command gives.
constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kWrongArguments = 2;

// A whole decimal number, nothing else.
bool ParseInt(const std::wstring& text, int& out) {
    double v = 0;
    if (!ParseNumber(text, v) || v != static_cast<double>(static_cast<long long>(v)) || v < INT32_MIN || v > INT32_MAX)
        return false;
    out = static_cast<int>(v);
    return true;
}

const wchar_t kUsage[] =
    L"usage: pintle-call [--dll PATH] COMMAND...\n"
    L"       pintle-call [--dll PATH] --script FILE   (one command per line, '-' for stdin)\n"
    L"  --dll PATH  the DLL to load (default: Pintle.dll beside pintle-call.exe)\n"
    L"exit code: 0 every command done, 1 a command failed (no such export or function,\n"
    L"           the DLL not loadable; a script runs to its end), 2 wrong arguments\n"
    L"commands:\n"
    L"  call EXPORT [--label TEXT|--label-hex HEX] [--bars N] [--bar-by-bar 0|1] [--index I]\n"
    L"              [--period P] [--times T,..] [--closes C,..] [--arg ARG]... [--argc N]\n"
    L"              [--no-bars] [--no-result] [--fill V]\n"
    L"      3 bars unless given; bar i has time 1700000000+60*i and close 10; the result\n"
    L"      buffer starts filled with --fill (-1), so untouched entries show as -1\n"
    L"      ARG: VALUE (constant) | @S1,S2,.. (series) | VALUE@S1,S2,.. (both) | null\n"
    L"  register                    call RegisterTdxFunc and print the table\n"
    L"  tdx N [--count C] [--a LIST] [--b LIST] [--c LIST] [--fill V]\n"
    L"      a LIST with fewer entries than C is padded with its last value\n"
    L"  window                      create the terminal's top-level window (commands carry it)\n"
    L"  capi FUNCTION ARGS...       call the C interface (GetPosInfo CODE|null SEL ASSISTANT,\n"
    L"                              GetAccountInfo SEL ASSISTANT, GetAllPositionCode ASSISTANT,\n"
    L"                              GetAllPositionCodeA SIZE ASSISTANT [null], GetAllOrderCode ASSISTANT KIND)\n"
    L"  sleep MS | echo TEXT | unload | load\n"
    L"  ticks                       print the system's tick count (GetTickCount64), to time calls\n";

void Out(const std::wstring& text) {
    // Console output as UTF-8 so that logs of a run can be compared as bytes.
    std::string utf8;
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    utf8.resize(n > 0 ? n : 0);
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

std::wstring Number(double v) {
    if (std::isnan(v)) return L"nan";
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.9g", v);
    return buf;
}

std::wstring OwnDirectory() {
    wchar_t buf[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring path(buf);
    auto pos = path.find_last_of(L"\\/");
    return pos == std::wstring::npos ? L"" : path.substr(0, pos + 1);
}

class Session {
public:
    explicit Session(std::wstring dll) : dll_path_(std::move(dll)) {}
    ~Session() { Unload(); }

    bool Load() {
        if (module_) return true;
        module_ = LoadLibraryW(dll_path_.c_str());
        if (!module_) {
            Out(L"error cannot load " + dll_path_ + L" (" + std::to_wstring(GetLastError()) + L")\n");
            return false;
        }
        tdx_table_ = nullptr;
        return true;
    }
    void Unload() {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
        tdx_table_ = nullptr;
    }

    // Runs one command: kDone, kFailed (said why) or kWrongArguments (said
    // why, with the usage).
    int Run(const std::vector<std::wstring>& w) {
        if (w.empty()) return kDone;
        const std::wstring& cmd = w[0];
        if (cmd == L"call") return Call(w);
        if (cmd == L"register") return Register(true);
        if (cmd == L"tdx") return Tdx(w);
        if (cmd == L"sleep") {
            int ms = 0;
            if (w.size() != 2 || !ParseInt(w[1], ms) || ms < 0) return Usage(L"sleep takes milliseconds");
            Sleep(static_cast<DWORD>(ms));
            return kDone;
        }
        if (cmd == L"echo") {
            std::wstring text;
            for (std::size_t i = 1; i < w.size(); ++i) text += (i > 1 ? L" " : L"") + w[i];
            Out(text + L"\n");
            return kDone;
        }
        if (cmd == L"unload") {
            Unload();
            Out(L"unloaded\n");
            return kDone;
        }
        if (cmd == L"load") return Load() ? kDone : kFailed;
        if (cmd == L"ticks") {
            Out(L"ticks " + std::to_wstring(GetTickCount64()) + L"\n");
            return kDone;
        }
        if (cmd == L"window") return MakeWindow() ? kDone : kFailed;
        if (cmd == L"capi") {
            if (!Load()) return kFailed;
            const std::wstring out = RunCApi(module_, w);
            Out(out);
            return out.rfind(L"error", 0) == 0 ? kFailed : kDone;
        }
        return Usage(L"unknown command " + cmd);
    }

private:
    struct ArgValue {
        bool null = false;
        double value = 0;
        bool has_series = false;
        std::vector<double> series;
    };

    static bool ParseArg(const std::wstring& text, ArgValue& arg) {
        if (text == L"null") {
            arg.null = true;
            return true;
        }
        const auto at = text.find(L'@');
        const std::wstring constant = text.substr(0, at);
        if (!constant.empty() && !ParseNumber(constant, arg.value)) return false;
        if (at != std::wstring::npos) {
            bool ok = false;
            arg.series = ParseList(text.substr(at + 1), ok);
            arg.has_series = true;
            return ok;
        }
        return !constant.empty();
    }

    static bool HexBytes(const std::wstring& hex, std::vector<uint8_t>& out) {
        if (hex.size() % 2) return false;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            wchar_t* end = nullptr;
            const std::wstring pair = hex.substr(i, 2);
            const long v = std::wcstol(pair.c_str(), &end, 16);
            if (*end) return false;
            out.push_back(static_cast<uint8_t>(v));
        }
        return true;
    }

    int Call(const std::vector<std::wstring>& w) {
        if (w.size() < 2) return Usage(L"call needs an export name");
        const std::wstring name = w[1];
        std::vector<uint8_t> label;
        {
            const char* def = "SH600000";
            label.assign(def, def + std::strlen(def));
        }
        int bars = kUnset, bar_by_bar = 0, index = kUnset, period = 5, argc = kUnset;
        bool no_bars = false, no_result = false;
        double fill = -1;
        std::vector<double> times, closes;
        std::vector<ArgValue> args;
        for (std::size_t i = 2; i < w.size(); ++i) {
            const std::wstring& o = w[i];
            const bool has_value = i + 1 < w.size();
            const std::wstring v = has_value ? w[i + 1] : L"";
            bool ok = true;
            if (o == L"--no-bars") { no_bars = true; continue; }
            if (o == L"--no-result") { no_result = true; continue; }
            if (!has_value) return Usage(L"option " + o + L" needs a value");
            ++i;
            if (o == L"--label") {
                const int n = WideCharToMultiByte(CP_ACP, 0, v.c_str(), -1, nullptr, 0, nullptr, nullptr);
                std::string ansi(n > 0 ? n - 1 : 0, '\0');
                if (n > 1) WideCharToMultiByte(CP_ACP, 0, v.c_str(), -1, ansi.data(), n, nullptr, nullptr);
                label.assign(ansi.begin(), ansi.end());
            } else if (o == L"--label-hex") {
                label.clear();
                ok = HexBytes(v, label);
            } else if (o == L"--bars") {
                ok = ParseInt(v, bars);
            } else if (o == L"--bar-by-bar") {
                ok = ParseInt(v, bar_by_bar);
            } else if (o == L"--index") {
                ok = ParseInt(v, index);
            } else if (o == L"--period") {
                ok = ParseInt(v, period);
            } else if (o == L"--argc") {
                ok = ParseInt(v, argc);
            } else if (o == L"--fill") {
                ok = ParseNumber(v, fill);
            } else if (o == L"--times") {
                times = ParseList(v, ok);
            } else if (o == L"--closes") {
                closes = ParseList(v, ok);
            } else if (o == L"--arg") {
                ArgValue arg;
                ok = ParseArg(v, arg) && args.size() < 4;
                args.push_back(arg);
            } else {
                ok = false;
            }
            if (!ok) return Usage(L"bad option " + o + L" " + v);
        }
        if (bars == kUnset) {
            const std::size_t given = std::max(closes.size(), times.size());
            bars = given > 0 ? static_cast<int>(given) : 3;
        }
        if (index == kUnset) index = bars - 1;
        if (argc == kUnset) argc = static_cast<int>(args.size());
        if (!Load()) return kFailed;
        auto fn = reinterpret_cast<FormulaFn>(GetProcAddress(module_, Narrow(name).c_str()));
        if (!fn) {
            Out(L"error no export " + name + L" in " + dll_path_ + L"\n");
            return kFailed;
        }

        // Everything the record points to is sized for the bar count, as a
        // terminal would; at least one entry so that tests of bad counts
        // never make this program itself misbehave.
        const std::size_t n = static_cast<std::size_t>(bars > 0 ? bars : 1);
        std::vector<BarRecord> bar_array(n);
        for (std::size_t i = 0; i < n; ++i) {
            std::memset(&bar_array[i], 0, sizeof(BarRecord));
            bar_array[i].time = static_cast<uint32_t>(i < times.size() ? times[i] : 1700000000.0 + 60.0 * i);
            bar_array[i].close = static_cast<float>(i < closes.size() ? closes[i] : 10.0);
        }
        std::vector<double> result(n, fill);
        std::vector<FormulaArg> arg_records(4);
        std::vector<std::vector<double>> series(4);
        FormulaCall call;
        std::memset(&call, 0, sizeof call);
        std::memcpy(call.label, label.data(), std::min(label.size(), sizeof call.label));
        call.bar_by_bar = bar_by_bar;
        call.current_index = index;
        call.period = static_cast<int16_t>(period);
        call.bar_count = bars;
        call.bars = no_bars ? nullptr : bar_array.data();
        call.arg_count = argc;
        for (std::size_t a = 0; a < args.size(); ++a) {
            if (args[a].null) continue;
            arg_records[a].value = args[a].value;
            arg_records[a].series = nullptr;
            if (args[a].has_series) {
                series[a] = args[a].series;
                series[a].resize(std::max(series[a].size(), n), series[a].empty() ? 0.0 : series[a].back());
                arg_records[a].series = series[a].data();
            }
            call.args[a] = &arg_records[a];
        }
        call.result = no_result ? nullptr : result.data();
        const int32_t ret = fn(&call);
        std::wstring line = L"call " + name + L" -> " + std::to_wstring(ret) + L"\nresult";
        if (bars > 0 && !no_result) {
            for (int i = 0; i < bars; ++i) line += L" " + Number(result[static_cast<std::size_t>(i)]);
        }
        Out(line + L"\n");
        return kDone;
    }

    int Register(bool print) {
        if (!Load()) return kFailed;
        auto reg = reinterpret_cast<RegisterFn>(GetProcAddress(module_, "RegisterTdxFunc"));
        if (!reg) {
            Out(L"error no export RegisterTdxFunc in " + dll_path_ + L"\n");
            return kFailed;
        }
        void* table = nullptr;
        const int32_t first = reg(&table);
        const int32_t second = reg(&table);  // a registered pointer is refused
        tdx_table_ = static_cast<const uint8_t*>(table);
        if (!print) return kDone;
        std::wstring line = L"register -> " + std::to_wstring(first) + L" again -> " + std::to_wstring(second) + L"\n";
        if (tdx_table_) {
            const auto base = reinterpret_cast<uintptr_t>(module_);
            for (int e = 0; e < 47; ++e) {
                uint16_t number;
                uint64_t fn;
                std::memcpy(&number, tdx_table_ + e * 10, 2);
                std::memcpy(&fn, tdx_table_ + e * 10 + 2, 8);
                wchar_t buf[96];
                std::swprintf(buf, 96, L"entry %d number %u rva 0x%llx\n", e, number,
                              fn ? static_cast<unsigned long long>(fn - base) : 0ULL);
                line += buf;
            }
            line += L"bytes ";
            for (int b = 0; b < 470; ++b) {
                wchar_t hex[4];
                std::swprintf(hex, 4, L"%02x", tdx_table_[b]);
                line += hex;
            }
            line += L"\n";
        }
        Out(line);
        return kDone;
    }

    int Tdx(const std::vector<std::wstring>& w) {
        int number = 0;
        if (w.size() < 2 || !ParseInt(w[1], number)) return Usage(L"tdx needs a function number");
        if (w.size() % 2 != 0) return Usage(L"option " + w.back() + L" needs a value");
        int count = kUnset;
        double fill = -1;
        std::vector<double> in[3];
        for (std::size_t i = 2; i + 1 < w.size(); i += 2) {
            bool ok = true;
            const std::wstring& o = w[i];
            if (o == L"--count") ok = ParseInt(w[i + 1], count);
            else if (o == L"--a") in[0] = ParseList(w[i + 1], ok);
            else if (o == L"--b") in[1] = ParseList(w[i + 1], ok);
            else if (o == L"--c") in[2] = ParseList(w[i + 1], ok);
            else if (o == L"--fill") ok = ParseNumber(w[i + 1], fill);
            else ok = false;
            if (!ok) return Usage(L"bad option " + o + L" " + w[i + 1]);
        }
        if (count == kUnset) count = static_cast<int>(std::max({in[0].size(), in[1].size(), in[2].size(), std::size_t{1}}));
        if (!tdx_table_ && Register(false) != kDone) return kFailed;
        if (!tdx_table_) {
            Out(L"error no TDX table\n");
            return kFailed;
        }
        TdxFn fn = nullptr;
        for (int e = 0; e < 47; ++e) {
            uint16_t n;
            std::memcpy(&n, tdx_table_ + e * 10, 2);
            if (n == number) std::memcpy(&fn, tdx_table_ + e * 10 + 2, sizeof fn);
        }
        if (!fn) {
            Out(L"error no TDX function " + std::to_wstring(number) + L"\n");
            return kFailed;
        }
        const std::size_t n = static_cast<std::size_t>(count > 0 ? count : 1);
        std::vector<float> arrays[3];
        for (int k = 0; k < 3; ++k) {
            arrays[k].assign(n, 0.0f);
            for (std::size_t i = 0; i < n; ++i) {
                if (!in[k].empty()) arrays[k][i] = static_cast<float>(i < in[k].size() ? in[k][i] : in[k].back());
            }
        }
        std::vector<float> out(n, static_cast<float>(fill));
        fn(count, out.data(), arrays[0].data(), arrays[1].data(), arrays[2].data());
        std::wstring line = L"tdx " + std::to_wstring(number) + L"\nout";
        for (int i = 0; i < count; ++i) line += L" " + Number(out[static_cast<std::size_t>(i)]);
        Out(line + L"\n");
        return kDone;
    }

    // A terminal has a top-level window, which commands carry as wParam.
    bool MakeWindow() {
        if (!window_) {
            window_ = CreateWindowExW(0, L"STATIC", L"pintle-call", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        }
        wchar_t buf[64];
        std::swprintf(buf, 64, L"window 0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window_)));
        Out(buf);
        return window_ != nullptr;
    }

    static std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }
    static int Usage(const std::wstring& why) {
        Out(L"error " + why + L"\n");
        return kWrongArguments;
    }
    static constexpr int kUnset = INT32_MIN;

    std::wstring dll_path_;
    HMODULE module_ = nullptr;
    const uint8_t* tdx_table_ = nullptr;
    HWND window_ = nullptr;
};

std::vector<std::wstring> ReadLines(const std::wstring& file) {
    std::string bytes;
    if (file == L"-") {
        std::ostringstream ss;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0) ss.write(buf, static_cast<std::streamsize>(n));
        bytes = ss.str();
    } else {
        HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return {L"\x01"};
        char buf[4096];
        DWORD n = 0;
        while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) bytes.append(buf, n);
        CloseHandle(h);
    }
    // Scripts are UTF-8.
    std::wstring text;
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    text.resize(n > 0 ? n : 0);
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    std::vector<std::wstring> lines;
    std::wstringstream ws(text);
    std::wstring line;
    while (std::getline(ws, line)) lines.push_back(line);
    return lines;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring dll = OwnDirectory() + L"Pintle.dll";
    std::vector<std::wstring> words;
    std::wstring script;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (words.empty() && a == L"--dll" && i + 1 < argc) {
            dll = argv[++i];
        } else if (words.empty() && a == L"--script" && i + 1 < argc) {
            script = argv[++i];
        } else if (words.empty() && (a == L"--help" || a == L"-h")) {
            Out(kUsage);
            return 0;
        } else {
            words.push_back(a);
        }
    }
    Session session(dll);
    if (!script.empty()) {
        const auto lines = ReadLines(script);
        if (lines.size() == 1 && lines[0] == L"\x01") {
            Out(L"error cannot read " + script + L"\n");
            return kFailed;
        }
        // To the end, as a terminal goes on after a failed call.
        int failed = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (session.Run(SplitWords(lines[i])) != kDone) {
                Out(L"error in line " + std::to_wstring(i + 1) + L" of " + script + L"\n");
                ++failed;
            }
        }
        return failed > 0 ? kFailed : kDone;
    }
    if (words.empty()) {
        Out(kUsage);
        return kWrongArguments;
    }
    const int status = session.Run(words);
    if (status == kWrongArguments) Out(kUsage);
    return status;
}
