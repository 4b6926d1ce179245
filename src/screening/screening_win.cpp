// Looking up a code in a result file: whether the assistant of the current
// number runs, the path under that assistant's directory, the missing-file
// notice, the caches and the file-time re-check. Windows adapter around the
// line rules of result_lines.cpp.
#include <windows.h>

#include <shlwapi.h>

#include <map>
#include <tuple>

#include "assistant/assistant.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/throttle.h"
#include "common/win.h"
#include "log/plugin_log.h"
#include "screening/screening.h"

namespace pintle {
namespace {

struct KindText {
    const wchar_t* file;     // relative to the assistant directory; %d the query number
    const wchar_t* missing;  // the notice text; %d the query number
    const wchar_t* name;     // in the log
};

const KindText kKinds[kScreeningKinds] = {
    {L"WenCai\\%d.txt",
     L"没有在助手配置问财查询,请先在助手增加编号为 %d 的问财查询条件\n也有可能是选股还没完成,如果已经创建条件请稍后重试",
     L"问财"},
    {L"HotStocks\\%d.txt",
     L"没有在助手配置热点查询,请先在助手增加编号为 %d 的热点查询条件\n也有可能是选股还没完成,如果已经创建条件请稍后重试",
     L"热点"},
    {L"AI\\%d.txt",
     L"没有在助手配置AI查询,请先在助手增加编号为 %d 的AI查询条件\n也有可能是选股还没完成,如果已经创建条件请稍后重试",
     L"AI"},
};

constexpr int32_t kScreeningNoticeNumber = 10000;
constexpr int64_t kRecheckSeconds = 5;

// (assistant number, kind, query number)
using EntryKey = std::tuple<int32_t, int, int32_t>;

// Whether an assistant number had a main window when last looked.
struct RunningCheck {
    bool checked = false;
    int64_t time = 0;
    bool running = false;
};

// Lives from load to unload; touched only under the call lock.
struct ScreeningState {
    std::map<EntryKey, ScreeningEntry> entries;
    std::map<int32_t, RunningCheck> assistants;
    ThrottleTable<EntryKey> not_running{60};
    std::wstring path;  // of the current lookup, built in the same storage call after call
};
ScreeningState g_screening;

// Last-write time in seconds since 1970, or -1. Opened with read sharing
// only, so a file that the assistant is still writing reads as -1.
int64_t ResultFileTime(const std::wstring& path) {
    UniqueHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME written{};
    if (!h || !GetFileTime(h.get(), nullptr, nullptr, &written)) return -1;
    const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(written.dwHighDateTime) << 32) |
                                               written.dwLowDateTime);
    return (ticks - 116444736000000000LL) / 10000000LL;
}

// The codes of a result file, hashed; none when it cannot be opened or is
// too large to be a list of codes (said once per load).
std::unordered_set<std::string> LoadResultCodes(const std::wstring& path) {
    UniqueHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return {};
    LARGE_INTEGER size{};
    if (GetFileSizeEx(h.get(), &size) && static_cast<uint64_t>(size.QuadPart) > kScreeningFileCap) {
        PluginLog::Instance().WriteFormatted(L"%s 文件超过4MiB,不是选股结果,按无结果处理", {path});
        return {};
    }
    ScreeningCodeReader reader;
    char buffer[65536];
    DWORD got = 0;
    uint64_t total = 0;
    while (total <= kScreeningFileCap && ReadFile(h.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        total += got;
        reader.Feed(std::string_view(buffer, got));
    }
    if (total > kScreeningFileCap) {  // it grew while being read
        PluginLog::Instance().WriteFormatted(L"%s 文件超过4MiB,不是选股结果,按无结果处理", {path});
        return {};
    }
    std::vector<std::string> codes = reader.Finish();
    return {std::make_move_iterator(codes.begin()), std::make_move_iterator(codes.end())};
}

// Whether assistant `number` (the current one) has a main window, looked up
// at most every 5 s: a formula asks on every recalculation of every stock.
bool AssistantRuns(int32_t number, int64_t now) {
    RunningCheck& check = g_screening.assistants[number];
    if (!check.checked || SecondsSince(check.time, now) >= kRecheckSeconds) {
        check.checked = true;
        check.time = now;
        check.running = CurrentMainWindow() != nullptr;
    }
    return check.running;
}

}  // namespace

int32_t ScreeningHit(ScreeningKind kind, std::string_view code, int32_t n) {
    const KindText& k = kKinds[static_cast<int>(kind)];
    const int32_t number = CurrentAssistantNumber();
    const int64_t now = NowSeconds();
    const EntryKey key{number, static_cast<int>(kind), n};
    // Another assistant's files are no answer for this one: without its
    // window there is nothing to read.
    if (!AssistantRuns(number, now)) {
        if (g_screening.not_running.Allow(key, now)) {
            PluginLog::Instance().WriteFormatted(L"助手%d未运行,%s查询 %d 无结果", {number, k.name, n});
        }
        return 0;
    }
    const std::wstring& directory = AssistantDirectoryOf(number);
    if (directory.empty()) return 0;  // its program cannot be found: the log said so
    std::wstring& path = g_screening.path;
    path.assign(directory);
    AppendFormatted(path, k.file, {n});
    if (!PathFileExistsW(path.c_str())) {
        const std::wstring text = FormatText(k.missing, {n});
        PostAssistantNotice(n, kScreeningNoticeNumber, text.c_str());
        return 0;
    }

    auto it = g_screening.entries.find(key);
    bool load = false;
    if (it == g_screening.entries.end()) {
        it = g_screening.entries.emplace(key, ScreeningEntry{}).first;
        load = true;
    } else {
        ScreeningEntry& e = it->second;
        if (SecondsSince(e.check_time, now) > kRecheckSeconds) {
            const int64_t t = ResultFileTime(path);
            if (t != e.file_time) {
                e.file_time = t;
                load = true;
            }
            e.check_time = now;
        }
    }
    ScreeningEntry& entry = it->second;
    if (load) entry.members = LoadResultCodes(path);

    // An empty code (a line that starts with a TAB, a label without digits)
    // is no member of any result.
    return !code.empty() && entry.members.count(std::string(code)) != 0 ? 1 : 0;
}

const ScreeningEntry* FindScreeningEntry(int32_t assistant, ScreeningKind kind, int32_t n) {
    const auto it = g_screening.entries.find({assistant, static_cast<int>(kind), n});
    return it == g_screening.entries.end() ? nullptr : &it->second;
}

void ResetScreeningState() { g_screening = ScreeningState{}; }

}  // namespace pintle
