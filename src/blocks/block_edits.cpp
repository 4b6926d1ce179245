// Editing the terminals' block files: read the whole file, change one entry,
// write the new file beside it and move it over the old one, all while
// holding the file's lock (block_lock.h), so two edits never lose each
// other's entry. Every refusal leaves the file as it was and says why in the
// log. Files go through common/shared_file.h: no Windows header here, and
// the native build runs this code on its in-memory files.
#include <algorithm>
#include <atomic>
#include <iostream>
#include <mutex>
#include <optional>

#include "blocks/block_lock.h"
#include "blocks/blocks.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/paths.h"
#include "common/shared_file.h"
#include "common/text.h"
#include "common/throttle.h"
#include "log/plugin_log.h"

namespace pintle {
namespace {

constexpr uint32_t kFileNotFound = 2, kPathNotFound = 3;

// The new file is written under this name beside the block file. It does
// not end in .BLK or .blk, so a terminal listing its blocks never sees it;
// one name per block file is enough, since its writers take turns.
constexpr wchar_t kNewFileSuffix[] = L".pintle-new";

constexpr wchar_t kCannotSave[] = L" 不能保存到大智慧板块";
constexpr wchar_t kCannotRemove[] = L" 不能从大智慧板块删除";
constexpr wchar_t kTdxUnchanged[] = L" 通达信板块未改动";

// The process-wide state of the block lists: DzhBlockFormat, which changes
// once, from 0 to a file's first four bytes, and what the log was told.
struct BlocksState {
    std::atomic<uint32_t> dzh_format{0};
    std::mutex notices_lock;  // a leaf lock: only the log's is taken under it
    ThrottleTable<std::wstring> busy{60};
    ThrottleTable<std::wstring> missing{60};
    std::atomic<bool> unlocked_told{false};
};
BlocksState g_blocks;

PluginLog& Log() { return PluginLog::Instance(); }

// A block file is a stock list: even the whole market is well under 1 MiB.
// A larger file is something else, and is neither read whole nor edited.
constexpr uint64_t kBlockFileCap = 4u << 20;

struct FileBytes {
    bool exists = false;  // false: no such file (or directory)
    bool read = false;    // the whole file was read
    bool too_large = false;
    uint32_t error = 0;
    std::string bytes;
};

FileBytes ReadWholeFile(const std::wstring& path) {
    FileBytes f;
    SharedFile file;
    if (!file.OpenExisting(path, false)) {
        f.error = file.LastError();
        f.exists = f.error != kFileNotFound && f.error != kPathNotFound;
        return f;
    }
    f.exists = true;
    uint64_t size = 0;
    if (!file.Size(&size)) {
        f.error = file.LastError();
        return f;
    }
    if (size > kBlockFileCap) {
        f.too_large = true;
        return f;
    }
    f.bytes = file.ReadAll();
    f.read = f.bytes.size() == size;
    if (!f.read) f.error = file.LastError();
    return f;
}

// Writes the bytes to a new file beside `path` and moves it over `path`. On
// any failure the new file is deleted and `path` is as it was.
bool ReplaceFileBytes(const std::wstring& path, std::string_view bytes, uint32_t* error) {
    const std::wstring temp = path + kNewFileSuffix;
    SharedFile file;
    bool ok = file.CreatePrivate(temp) && file.WriteAt(0, bytes.data(), bytes.size()) && file.Flush();
    if (!ok) *error = file.LastError();
    const bool created = file.IsOpen();
    file.Close();
    if (ok) ok = RenameFileDurably(temp, path, error);
    if (!ok && created) DeleteFileAt(temp);
    return ok;
}

bool PathHas(const std::wstring& path, const wchar_t* mark) { return path.find(mark) != std::wstring::npos; }

// The first four bytes of a file as a little-endian word; 0 when the file
// is missing or shorter.
uint32_t FirstWord(const std::wstring& path) {
    SharedFile file;
    unsigned char b[4] = {};
    if (!file.OpenExisting(path, false) || !file.ReadExactly(0, b, sizeof b)) return 0;
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// Fills DzhBlockFormat at the first write that needs it: from "A股板块.BLK"
// in the block's directory, else from the block file itself.
uint32_t EnsureDzhBlockFormat(const std::wstring& path) {
    if (const uint32_t known = g_blocks.dzh_format.load()) return known;
    uint32_t format = FirstWord(DirectoryPart(path) + L"A股板块.BLK");
    if (format == 0) format = FirstWord(path);
    if (format == 0) {
        Log().WriteFormatted(L"%s 找不到 不能保存到大智慧板块", {path});
        return 0;
    }
    uint32_t expected = 0;
    g_blocks.dzh_format.compare_exchange_strong(expected, format);
    return g_blocks.dzh_format.load();
}

void LogRefusal(const std::wstring& path, const std::wstring& why, const wchar_t* tail) {
    Log().Write(path + L" " + why + tail);
}

std::wstring ErrorText(const wchar_t* what, uint32_t error) {
    return FormatText(L"%s(错误码%d)", {what, static_cast<long long>(error)});
}

// Whether an existing block file was read whole and can be edited; when
// not, the log says why and the edit is refused.
bool Editable(const FileBytes& f, const std::wstring& path, const wchar_t* tail) {
    if (f.too_large) {
        Log().WriteFormatted(L"%s 文件超过4MiB,不是股票列表,板块未改动", {path});
        return false;
    }
    if (!f.read) {
        LogRefusal(path, ErrorText(L"无法读取", f.error), tail);
        return false;
    }
    return true;
}


// The wide standard streams belong to the terminal: whatever our line does
// to their state (a console that cannot show it sets badbit) is undone.
void StreamLine(std::wostream& stream, const wchar_t* text, const std::wstring& path) {
    const auto state = stream.rdstate();
    stream << text << path << std::endl;
    stream.clear(state);
}

// Holds the block file's lock for one edit. A lock that another writer held
// for the whole wait refuses the edit; a lock that cannot be made lets the
// edit go on without it (said once per process).
class EditTurn {
public:
    explicit EditTurn(const std::wstring& path) : lock_(path) {
        if (lock_.state() == BlockFileLock::State::kHeld) {
            // A new file left by a writer that died before its move: ours to
            // clear, now that no other writer can be at it.
            const std::wstring leftover = path + kNewFileSuffix;
            if (FileExistsAt(leftover)) DeleteFileAt(leftover);
        } else if (lock_.state() == BlockFileLock::State::kUnlocked && !g_blocks.unlocked_told.exchange(true)) {
            Log().WriteFormatted(L"板块锁无法创建(错误码%d),板块修改不加锁 %s",
                                 {static_cast<long long>(lock_.error()), path});
        }
    }
    bool Granted() const { return lock_.state() != BlockFileLock::State::kBusy; }

private:
    BlockFileLock lock_;
};

// Runs an edit in its turn. When another writer held the file for the whole
// wait, nothing is edited, the answer is `refused`, and the log says so at
// most once a minute per file (after the lock, which takes no other lock).
template <class Edit, class Result>
Result WithTurn(const std::wstring& path, Edit edit, Result refused) {
    {
        EditTurn turn(path);
        if (turn.Granted()) return edit();
    }
    bool tell = false;
    {
        std::lock_guard<std::mutex> hold(g_blocks.notices_lock);
        tell = g_blocks.busy.Allow(path, NowSeconds());
    }
    if (tell) Log().WriteFormatted(L"%s 正被其他程序修改,等待2秒未果,板块未改动", {path});
    return refused;
}

// An add to a block whose file is missing: a misspelt name in Pintle.ini,
// or a block not made in the terminal yet. Said at most once a minute per
// file (a formula tries again on every recalculation).
constexpr int32_t kNoBlockFile = -1;
void TellMissing(const std::wstring& path) {
    bool tell = false;
    {
        std::lock_guard<std::mutex> hold(g_blocks.notices_lock);
        tell = g_blocks.missing.Allow(path, NowSeconds());
    }
    if (tell) Log().WriteFormatted(L"%s 找不到 不能保存到大智慧板块", {path});
}

int32_t ApplyDzhEdit(const std::wstring& path, const DzhEdit& edit, std::string_view key, const wchar_t* tail) {
    switch (edit.status) {
        case DzhEditStatus::kUnchanged:
            return 1;
        case DzhEditStatus::kBadLayout:
            LogRefusal(path, L"文件长度与板块格式不符 为免丢失原有股票", tail);
            return 0;
        case DzhEditStatus::kUnreadableKey:
            LogRefusal(path, L"代码" + AnsiToWide(key) + L"写入后无法按板块格式读回", tail);
            return 0;
        case DzhEditStatus::kRewrite:
            break;
    }
    uint32_t error = 0;
    if (!ReplaceFileBytes(path, edit.bytes, &error)) {
        LogRefusal(path, ErrorText(L"写入失败", error) + L" 原文件未改动", tail);
        return 0;
    }
    return 1;
}

// The edits proper, with the lock held.
int32_t AddToDzhBlockLocked(const std::wstring& path, const std::string& key, bool top) {
    const FileBytes f = ReadWholeFile(path);
    if (!f.exists) return kNoBlockFile;  // a block file is never created here
    if (!Editable(f, path, kCannotSave)) return 0;
    const bool slf = PathHas(path, L".slf");
    const auto texts = DzhBlockTexts(DecodeDzhBlock(f.bytes, slf));
    if (std::find(texts.begin(), texts.end(), key) != texts.end()) return 1;
    const uint32_t format = EnsureDzhBlockFormat(path);
    if (format == 0) return 0;
    return ApplyDzhEdit(path, AddDzhEntry(f.bytes, slf, key, top, format), key, kCannotSave);
}

int32_t RemoveFromDzhBlockLocked(const std::wstring& path, const std::string& key) {
    const FileBytes f = ReadWholeFile(path);
    if (!f.exists) return 1;
    if (!Editable(f, path, kCannotRemove)) return 0;
    const DzhEdit edit = RemoveDzhEntry(f.bytes, PathHas(path, L".slf"), key);
    if (edit.status == DzhEditStatus::kUnchanged) return 1;
    if (EnsureDzhBlockFormat(path) == 0) return 0;
    return ApplyDzhEdit(path, edit, key, kCannotRemove);
}

// What a TDX edit did, for the terminal's standard streams (written once
// the lock is released).
enum class TdxOutcome { kUnchanged, kWritten, kFailed, kBusy };

// The lines of a TDX block, or nothing when the file exists but cannot be
// read: rewriting it from an empty reading would empty the user's list.
std::optional<std::vector<std::string>> ReadTdxLines(const std::wstring& path) {
    const FileBytes f = ReadWholeFile(path);
    if (!f.exists) return std::vector<std::string>{};
    if (!Editable(f, path, kTdxUnchanged)) return std::nullopt;
    return SplitTdxLines(f.bytes);
}

TdxOutcome WriteTdxLines(const std::wstring& path, const std::vector<std::string>& lines) {
    uint32_t error = 0;
    if (!ReplaceFileBytes(path, JoinTdxLines(lines), &error)) {
        Log().Write(path + L" " + ErrorText(L"写入失败", error) + kTdxUnchanged);
        return TdxOutcome::kFailed;
    }
    return TdxOutcome::kWritten;
}

TdxOutcome EditTdxBlockLocked(const std::wstring& path, const std::string& key, bool add) {
    auto lines = ReadTdxLines(path);
    if (!lines) return TdxOutcome::kFailed;
    const auto hit = std::find(lines->begin(), lines->end(), key);
    if (add == (hit != lines->end())) return TdxOutcome::kUnchanged;
    if (add) {
        lines->push_back(key);
    } else {
        lines->erase(hit);
    }
    return WriteTdxLines(path, *lines);
}

bool EditTdxBlock(const std::wstring& path, std::string_view code, bool add) {
    if (code.empty()) return false;
    const std::string key = TdxMarketDigit(code) + std::string(code);
    const TdxOutcome outcome = WithTurn(path, [&] { return EditTdxBlockLocked(path, key, add); }, TdxOutcome::kBusy);
    if (outcome == TdxOutcome::kFailed) StreamLine(std::wcerr, L"无法打开文件：", path);
    if (outcome == TdxOutcome::kWritten) StreamLine(std::wcout, L"文本文件已成功写入：", path);
    return outcome == TdxOutcome::kWritten;
}

}  // namespace

std::wstring BlockMutexName(std::wstring_view key) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a-64 over the UTF-16LE bytes
    for (const wchar_t c : key) {
        for (const unsigned char byte : {static_cast<unsigned char>(c & 0xFF), static_cast<unsigned char>((c >> 8) & 0xFF)}) {
            hash ^= byte;
            hash *= 1099511628211ull;
        }
    }
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring name = L"Local\\PintleBlock-";
    for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(hash >> shift) & 0xF];
    return name;
}

int32_t AddToDzhBlock(const std::wstring& path, std::string_view label, bool top) {
    const std::string key = DzhBlockKey(label);
    if (key.empty()) {
        LogRefusal(path, L"股票代码为空", kCannotSave);
        return 0;
    }
    // Such a file reads as empty: rewriting it would keep only the new code.
    if (PathHas(path, L".sbk")) {
        LogRefusal(path, L"读不出原有股票(.sbk) 为免清空板块", kCannotSave);
        return 0;
    }
    const int32_t done = WithTurn(path, [&] { return AddToDzhBlockLocked(path, key, top); }, 0);
    if (done != kNoBlockFile) return done;
    TellMissing(path);
    return 0;
}

int32_t RemoveFromDzhBlock(const std::wstring& path, std::string_view label) {
    const std::string key = DzhBlockKey(label);
    if (key.empty()) {
        LogRefusal(path, L"股票代码为空", kCannotRemove);
        return 0;
    }
    if (PathHas(path, L".sbk")) return 1;  // reads as empty: nothing to remove, nothing written
    return WithTurn(path, [&] { return RemoveFromDzhBlockLocked(path, key); }, 0);
}

int32_t CountDzhBlock(const std::wstring& path) {
    SharedFile file;
    uint64_t size = 0;
    if (!file.OpenExisting(path, false) || !file.Size(&size)) return 0;
    unsigned char b[2] = {};
    const uint16_t format = file.ReadExactly(0, b, sizeof b) ? static_cast<uint16_t>(b[0] | (b[1] << 8)) : 0;
    return DzhBlockCount(format, static_cast<int64_t>(size));
}

bool AddToTdxBlock(const std::wstring& path, std::string_view code) { return EditTdxBlock(path, code, true); }

bool RemoveFromTdxBlock(const std::wstring& path, std::string_view code) { return EditTdxBlock(path, code, false); }

int32_t CountTdxBlock(const std::wstring& path) {
    // Counted as the file streams by, however large it is: every LF ends a
    // line, and bytes after the last LF make one more.
    SharedFile file;
    if (!file.OpenExisting(path, false)) return 0;
    char chunk[65536];
    uint64_t at = 0, lines = 0;
    char last = '\n';
    for (std::size_t got; (got = file.ReadAt(at, chunk, sizeof chunk)) > 0; at += got) {
        lines += static_cast<uint64_t>(std::count(chunk, chunk + got, '\n'));
        last = chunk[got - 1];
    }
    if (last != '\n') ++lines;
    return static_cast<int32_t>(std::min<uint64_t>(lines, INT32_MAX));
}

uint32_t DzhBlockFormat() { return g_blocks.dzh_format.load(); }

void ResetBlocksState() {
    g_blocks.dzh_format.store(0);
    {
        std::lock_guard<std::mutex> hold(g_blocks.notices_lock);
        g_blocks.busy.Clear();
        g_blocks.missing.Clear();
    }
    g_blocks.unlocked_told = false;
    ResetBlockLocks();
}

}  // namespace pintle
