#include "file_kinds.h"

#include <cstdio>

#include "common/local_time.h"
#include "common/paths.h"
#include "common/text.h"

namespace inspect {
namespace {

bool EndsWithIgnoringCase(std::wstring_view name, std::wstring_view tail) {
    return name.size() >= tail.size() && pintle::EqualsIgnoringAsciiCase(name.substr(name.size() - tail.size()), tail);
}

bool IsDataDb(std::wstring_view file_name) { return EndsWithIgnoringCase(file_name, L".db"); }
bool IsHistory(std::wstring_view file_name) { return EndsWithIgnoringCase(file_name, L".dat"); }
bool NeverByName(std::wstring_view) { return false; }

}  // namespace

const std::vector<FileKind>& FileKinds() {
    static const std::vector<FileKind> kinds = {
        {"data.db", "latest values of a key/value store (TradeSelfData\\data.db, any version)", IsDataDb, PrintDataDb},
        {"history", "history file of one key (TradeSelfData\\data\\...\\SLOT.dat)", IsHistory, PrintHistory},
        {"block", "a terminal's block file (*.blk): DZH-style binary, or TDX text under blocknew", IsBlockFile,
         PrintBlock},
        {"dzh-block", "a DZH-style block file (USERDATA\\block\\NAME.BLK)", NeverByName, PrintDzhBlock},
        {"tdx-block", "a TDX block file (T0002\\blocknew\\NAME.blk)", NeverByName, PrintTdxBlock},
    };
    return kinds;
}

const FileKind* FindFileKind(const std::string& name, std::wstring_view path) {
    const std::wstring file_name = pintle::FileNamePart(path);
    for (const FileKind& kind : FileKinds()) {
        if (name.empty() ? kind.matches(file_name) : name == kind.name) return &kind;
    }
    return nullptr;
}

std::string Utf8(std::wstring_view text) { return pintle::WideToUtf8(text); }

std::string AnsiAsUtf8(std::string_view ansi) { return pintle::WideToUtf8(pintle::AnsiToWide(ansi)); }

std::string LocalTimeText(uint32_t seconds_since_1970) {
    const pintle::LocalTime t = pintle::ToLocalTime(seconds_since_1970);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

}  // namespace inspect
