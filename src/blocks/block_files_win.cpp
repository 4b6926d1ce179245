// The block files on disk: their paths, reading them whole, and rewriting
// them by moving a new file over the old one. Windows adapter around the
// byte-level rules of block_files.cpp.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <optional>

#include "blocks/blocks.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/text.h"
#include "common/win.h"
#include "log/plugin_log.h"

namespace pintle {
namespace {

// DzhBlockFormat: changes once, from 0 to a file's first four bytes.
std::atomic<uint32_t> g_dzh_block_format{0};

constexpr wchar_t kCannotSave[] = L" 不能保存到大智慧板块";
constexpr wchar_t kCannotRemove[] = L" 不能从大智慧板块删除";

struct FileBytes {
    bool exists = false;  // false: no such file (or directory)
    bool read = false;    // the whole file was read
    DWORD error = 0;
    std::string bytes;
};

FileBytes ReadWholeFile(const std::wstring& path) {
    FileBytes f;
    UniqueHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        f.error = GetLastError();
        f.exists = f.error != ERROR_FILE_NOT_FOUND && f.error != ERROR_PATH_NOT_FOUND;
        return f;
    }
    f.exists = true;
    char buffer[65536];
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(h.get(), buffer, sizeof buffer, &got, nullptr)) {
            f.error = GetLastError();
            return f;
        }
        if (got == 0) break;
        f.bytes.append(buffer, got);
    }
    f.read = true;
    return f;
}

// Writes the bytes to a new file beside `path` and moves it over `path`.
// The new file's name does not end in .BLK or .blk, so a terminal listing
// its blocks never sees it; on any failure it is deleted and `path` is as
// it was.
bool ReplaceFileBytes(const std::wstring& path, std::string_view bytes, DWORD* error) {
    const std::wstring temp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetCurrentThreadId()) + L".pintle-new";
    bool ok = false;
    {
        UniqueHandle h(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h) {
            *error = GetLastError();
            return false;
        }
        ok = true;
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            DWORD wrote = 0;
            ok = WriteFile(h.get(), bytes.data() + done, chunk, &wrote, nullptr) && wrote == chunk;
            done += wrote;
        }
        if (ok) ok = FlushFileBuffers(h.get()) != 0;
        if (!ok) *error = GetLastError();
    }
    if (ok) {
        ok = MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!ok) *error = GetLastError();
    }
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

bool PathHas(const std::wstring& path, const wchar_t* mark) { return path.find(mark) != std::wstring::npos; }

// The first four bytes of a file as a little-endian word; 0 when the file
// is missing or shorter.
uint32_t FirstWord(const std::wstring& path) {
    UniqueHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    unsigned char b[4] = {};
    DWORD got = 0;
    if (!h || !ReadFile(h.get(), b, sizeof b, &got, nullptr) || got != sizeof b) return 0;
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// Fills DzhBlockFormat at the first write that needs it: from "A股板块.BLK"
// in the block's directory, else from the block file itself.
uint32_t EnsureDzhBlockFormat(const std::wstring& path) {
    if (const uint32_t known = g_dzh_block_format.load()) return known;
    uint32_t format = FirstWord(DirectoryPart(path) + L"A股板块.BLK");
    if (format == 0) format = FirstWord(path);
    if (format == 0) {
        PluginLog::Instance().WriteFormatted(L"%s 找不到 不能保存到大智慧板块", {path});
        return 0;
    }
    uint32_t expected = 0;
    g_dzh_block_format.compare_exchange_strong(expected, format);
    return g_dzh_block_format.load();
}

void LogRefusal(const std::wstring& path, const std::wstring& why, const wchar_t* tail) {
    PluginLog::Instance().Write(path + L" " + why + tail);
}

std::wstring ErrorText(const wchar_t* what, DWORD error) {
    return FormatText(L"%s(错误码%d)", {what, static_cast<long long>(error)});
}

std::wstring BlockName(int32_t number, const wchar_t* default_base) {
    const std::wstring key = std::to_wstring(number);
    std::wstring name = ReadIniText(SettingsFilePath(), L"板块名", key.c_str(), 255);
    if (name.empty()) name = ReadIniText(TerminalDirectory() + L"vizuru.ini", L"板块名", key.c_str(), 255);
    if (name.empty()) name = number == 0 ? std::wstring(default_base) : default_base + key;
    return name;
}

// The wide standard streams belong to the terminal: whatever our line does
// to their state (a console that cannot show it sets badbit) is undone.
void StreamLine(std::wostream& stream, const wchar_t* text, const std::wstring& path) {
    const auto state = stream.rdstate();
    stream << text << path << std::endl;
    stream.clear(state);
}

bool WriteTdxLines(const std::wstring& path, const std::vector<std::string>& lines) {
    DWORD error = 0;
    if (!ReplaceFileBytes(path, JoinTdxLines(lines), &error)) {
        StreamLine(std::wcerr, L"无法打开文件：", path);
        PluginLog::Instance().Write(path + L" " + ErrorText(L"写入失败", error) + L" 通达信板块未改动");
        return false;
    }
    StreamLine(std::wcout, L"文本文件已成功写入：", path);
    return true;
}

// The lines of a TDX block, or nothing when the file exists but cannot be
// read: rewriting it from an empty reading would empty the user's list.
std::optional<std::vector<std::string>> ReadTdxLines(const std::wstring& path) {
    const FileBytes f = ReadWholeFile(path);
    if (!f.exists) return std::vector<std::string>{};
    if (!f.read) {
        StreamLine(std::wcerr, L"无法打开文件：", path);
        PluginLog::Instance().Write(path + L" " + ErrorText(L"无法读取", f.error) + L" 通达信板块未改动");
        return std::nullopt;
    }
    return SplitTdxLines(f.bytes);
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
    DWORD error = 0;
    if (!ReplaceFileBytes(path, edit.bytes, &error)) {
        LogRefusal(path, ErrorText(L"写入失败", error) + L" 原文件未改动", tail);
        return 0;
    }
    return 1;
}

}  // namespace

std::wstring DzhBlockPath(int32_t number) {
    return TerminalDirectory() + L"USERDATA\\block\\" + BlockName(number, L"自选股") + L".BLK";
}

std::wstring TdxBlockPath(int32_t number) {
    return TerminalDirectory() + L"T0002\\blocknew\\" + BlockName(number, L"ZXG") + L".blk";
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
    const FileBytes f = ReadWholeFile(path);
    if (!f.exists) {
        EnsureDzhBlockFormat(path);  // says why when nothing tells the format either
        return 0;                    // a block file is never created here
    }
    if (!f.read) {
        LogRefusal(path, ErrorText(L"无法读取", f.error), kCannotSave);
        return 0;
    }
    const bool slf = PathHas(path, L".slf");
    const auto texts = DzhBlockTexts(DecodeDzhBlock(f.bytes, slf));
    if (std::find(texts.begin(), texts.end(), key) != texts.end()) return 1;
    const uint32_t format = EnsureDzhBlockFormat(path);
    if (format == 0) return 0;
    return ApplyDzhEdit(path, AddDzhEntry(f.bytes, slf, key, top, format), key, kCannotSave);
}

int32_t RemoveFromDzhBlock(const std::wstring& path, std::string_view label) {
    const std::string key = DzhBlockKey(label);
    if (key.empty()) {
        LogRefusal(path, L"股票代码为空", kCannotRemove);
        return 0;
    }
    if (PathHas(path, L".sbk")) return 1;  // reads as empty: nothing to remove, nothing written
    const FileBytes f = ReadWholeFile(path);
    if (!f.exists) return 1;
    if (!f.read) {
        LogRefusal(path, ErrorText(L"无法读取", f.error), kCannotRemove);
        return 0;
    }
    const bool slf = PathHas(path, L".slf");
    const DzhEdit edit = RemoveDzhEntry(f.bytes, slf, key);
    if (edit.status == DzhEditStatus::kUnchanged) return 1;
    if (EnsureDzhBlockFormat(path) == 0) return 0;
    return ApplyDzhEdit(path, edit, key, kCannotRemove);
}

int32_t CountDzhBlock(const std::wstring& path) {
    UniqueHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!h || !GetFileSizeEx(h.get(), &size)) return 0;
    unsigned char b[2] = {};
    DWORD got = 0;
    ReadFile(h.get(), b, sizeof b, &got, nullptr);
    const uint16_t format = got == 2 ? static_cast<uint16_t>(b[0] | (b[1] << 8)) : 0;
    return DzhBlockCount(format, size.QuadPart);
}

bool AddToTdxBlock(const std::wstring& path, std::string_view code) {
    if (code.empty()) return false;
    const std::string key = TdxMarketDigit(code) + std::string(code);
    auto lines = ReadTdxLines(path);
    if (!lines) return false;
    for (const auto& line : *lines) {
        if (line == key) return false;
    }
    lines->push_back(key);
    return WriteTdxLines(path, *lines);
}

bool RemoveFromTdxBlock(const std::wstring& path, std::string_view code) {
    if (code.empty()) return false;
    const std::string key = TdxMarketDigit(code) + std::string(code);
    auto lines = ReadTdxLines(path);
    if (!lines) return false;
    const auto hit = std::find(lines->begin(), lines->end(), key);
    if (hit == lines->end()) return false;
    lines->erase(hit);
    return WriteTdxLines(path, *lines);
}

int32_t CountTdxBlock(const std::wstring& path) {
    const FileBytes f = ReadWholeFile(path);
    return f.read ? static_cast<int32_t>(SplitTdxLines(f.bytes).size()) : 0;
}

uint32_t DzhBlockFormat() { return g_dzh_block_format.load(); }

void ResetBlocksState() { g_dzh_block_format.store(0); }

}  // namespace pintle
