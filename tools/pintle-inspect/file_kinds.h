// The kinds of file pintle-inspect can print, one row each: its name for
// --kind, how a file name is recognised, and the printer. A new kind (the
// terminals' block files, say) is one more row and one more printer file.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "report.h"

namespace inspect {

struct FileKind {
    const char* name;      // for --kind
    const char* describe;  // for the usage text
    bool (*matches)(std::wstring_view file_name);
    // `path` is the file's path as given (UTF-16), `bytes` its contents.
    void (*print)(std::wstring_view path, std::string_view bytes, Report& report);
};

const std::vector<FileKind>& FileKinds();
// The kind named `name`, or by the file name when `name` is empty; null
// when none fits.
const FileKind* FindFileKind(const std::string& name, std::wstring_view path);

// Printers of the kinds (one file each).
void PrintDataDb(std::wstring_view path, std::string_view bytes, Report& report);
void PrintHistory(std::wstring_view path, std::string_view bytes, Report& report);
void PrintBlock(std::wstring_view path, std::string_view bytes, Report& report);
void PrintDzhBlock(std::wstring_view path, std::string_view bytes, Report& report);
void PrintTdxBlock(std::wstring_view path, std::string_view bytes, Report& report);
bool IsBlockFile(std::wstring_view file_name);

// Shared by the printers: UTF-16 and ANSI text as UTF-8, and a time as
// "YYYY-MM-DD HH:MM:SS" in local time.
std::string Utf8(std::wstring_view text);
std::string AnsiAsUtf8(std::string_view ansi);
std::string LocalTimeText(uint32_t seconds_since_1970);

}  // namespace inspect
