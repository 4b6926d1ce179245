// Looking up a code in a result file: the path under the assistant's
// directory, the missing-file notice, the per-kind caches and the file-time
// re-check. Windows adapter around the line rules of result_lines.cpp.
#include <windows.h>

#include <shlwapi.h>

#include "assistant/assistant.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/win.h"
#include "screening/screening.h"

namespace pintle {
namespace {

struct KindText {
    const wchar_t* file;     // relative to the assistant directory; %d the query number
    const wchar_t* missing;  // the notice text; %d the query number
};

const KindText kKinds[kScreeningKinds] = {
    {L"WenCai\\%d.txt",
     L"没有在助手配置问财查询,请先在助手增加编号为 %d 的问财查询条件\n也有可能是选股还没完成,如果已经创建条件请稍后重试"},
    {L"HotStocks\\%d.txt",
     L"没有在助手配置热点查询,请先在助手增加编号为 %d 的热点查询条件\n也有可能是选股还没完成,如果已经创建条件请稍后重试"},
    {L"AI\\%d.txt",
     L"没有在助手配置AI查询,请先在助手增加编号为 %d 的AI查询条件\n也有可能是选股还没完成,如果已经创建条件请稍后重试"},
};

constexpr int32_t kScreeningNoticeNumber = 10000;
constexpr int64_t kRecheckSeconds = 5;

// The three caches live from load to unload; touched only under the call lock.
ScreeningCache g_caches[kScreeningKinds];
// The path of the current lookup, built in the same storage call after call.
std::wstring g_path;

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

// The codes of a result file; none when it cannot be opened.
std::vector<std::string> LoadResultCodes(const std::wstring& path) {
    ScreeningCodeReader reader;
    UniqueHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return {};
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        reader.Feed(std::string_view(buffer, got));
    }
    return reader.Finish();
}

}  // namespace

int32_t ScreeningHit(ScreeningKind kind, std::string_view code, int32_t n) {
    const KindText& k = kKinds[static_cast<int>(kind)];
    std::wstring& path = g_path;
    path.assign(AssistantDirectory());
    AppendFormatted(path, k.file, {n});
    if (!PathFileExistsW(path.c_str())) {
        const std::wstring text = FormatText(k.missing, {n});
        PostAssistantNotice(n, kScreeningNoticeNumber, text.c_str());
        return 0;
    }

    ScreeningCache& cache = g_caches[static_cast<int>(kind)];
    auto it = cache.find(n);
    bool load = false;
    if (it == cache.end()) {
        it = cache.emplace(n, ScreeningEntry{}).first;
        load = true;
    } else {
        ScreeningEntry& e = it->second;
        const int64_t now = NowSeconds();
        if (now - e.check_time > kRecheckSeconds) {
            const int64_t t = ResultFileTime(path);
            if (t != e.file_time) {
                e.file_time = t;
                load = true;
            }
            e.check_time = now;
        }
    }
    ScreeningEntry& entry = it->second;
    if (load) {
        // Both built before either is replaced: they never disagree.
        std::vector<std::string> codes = LoadResultCodes(path);
        std::unordered_set<std::string> members(codes.begin(), codes.end());
        entry.codes = std::move(codes);
        entry.members = std::move(members);
    }

    // An empty code (a line that starts with a TAB, a label without digits)
    // is no member of any result.
    return !code.empty() && entry.members.count(std::string(code)) != 0 ? 1 : 0;
}

const ScreeningCache& ScreeningCacheOf(ScreeningKind kind) { return g_caches[static_cast<int>(kind)]; }

void ResetScreeningState() {
    for (auto& cache : g_caches) cache.clear();
}

}  // namespace pintle
