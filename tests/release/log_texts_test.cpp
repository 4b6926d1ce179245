// Every line the DLL can write to its log is explained to the people who
// read the log: in docs/reliability.md and in the Chinese guide. A line added
// to src/ fails this test until both documents have it.
//
// What counts as a log text, read from the source as written (not from a
// list kept by hand, which would go stale):
//  - every wide string literal of src/ (adjacent literals joined, as the
//    compiler joins them) that holds a character beyond ASCII: the texts a
//    user meets are Chinese, so such a literal is a log text unless
//    kNotLogTexts below names it, with the reason;
//  - an ASCII wide literal that stands in the parentheses of a call of
//    Write( or WriteFormatted(, or that initialises a constant (kName) named
//    there.
// Lines built by concatenation (block_files_win.cpp) are checked piece by
// piece, each piece being such a literal. A literal's line breaks split it
// into lines, blanks at either end of a line do not count, and a printf
// conversion (%s, %d, %.2f, ...) stands for any text within the line: a
// document may quote `运算溢出 %d` or show `运算溢出 2147483647`.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/text.h"
#include "support/temp_dir.h"

namespace pintle::test {
namespace {

// Wide literals with Chinese text that never reach the log.
const std::map<std::string, std::string> kNotLogTexts = {
    {"助手日志", "the log's folder"},
    {"板块名", "a section of Pintle.ini"},
    {"自选股", "the default name of a DZH-style block"},
    {"A股板块.BLK", "the block file the DZH-style format is taken from"},
    {"买入", "the direction word of an order line, documented with it"},
    {"卖出", "the direction word of an order line, documented with it"},
    {"无法打开文件：", "written to the terminal's standard error, not the log"},
    {"文本文件已成功写入：", "written to the terminal's standard output, not the log"},
    {"%s: %.3f \n点 确定 ,30秒将内不再提示", "the message box of MsgBox"},
    {"Pintle.dll 提示信息", "the title of the message box"},
};

struct Literal {
    std::string file;
    std::string text;  // UTF-8, escapes resolved
    bool ascii = true;
    bool in_log_call = false;
};

// The wide literals of one source file, and the identifiers named in the
// parentheses of its Write( and WriteFormatted( calls.
void ScanSource(const std::string& file, const std::string& code, std::vector<Literal>* literals,
                std::set<std::string>* named_in_log_calls, std::map<std::string, std::vector<std::size_t>>* constants) {
    std::vector<std::size_t> open_log_calls;  // depths of the log calls whose parentheses are open
    std::size_t depth = 0;
    std::string last_identifier, declared;  // `declared`: kName whose initialiser runs until ';'
    std::string indexed;                    // the identifier before '[': kName[N] = ...
    bool joining = false;                   // the previous token was a wide literal
    for (std::size_t i = 0; i < code.size();) {
        const char c = code[i];
        if (code.compare(i, 2, "//") == 0) {
            i = code.find('\n', i);
            continue;
        }
        if (code.compare(i, 2, "/*") == 0) {
            i = std::min(code.find("*/", i), code.size() - 2) + 2;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        // A raw literal: R"delim( ... )delim", wide as LR"(...)".
        if (c == '"' && i > 0 && code[i - 1] == 'R' && !last_identifier.empty()) {
            const std::string close = ")" + code.substr(i + 1, code.find('(', i) - i - 1) + "\"";
            const std::size_t body = code.find('(', i) + 1, end = std::min(code.find(close, body), code.size());
            if (last_identifier == "LR") literals->push_back({file, code.substr(body, end - body), true, !open_log_calls.empty()});
            i = end + close.size();
            last_identifier.clear();
            continue;
        }
        const bool wide = code.compare(i, 2, "L\"") == 0;
        if (wide || c == '"' || c == '\'') {
            const char quote = wide ? '"' : c;
            std::size_t j = i + (wide ? 2 : 1);
            std::string text;
            for (; j < code.size() && code[j] != quote; ++j) {
                if (code[j] != '\\') {
                    text += code[j];
                    continue;
                }
                const char e = code[++j];
                text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
            }
            i = j + 1;
            if (!wide) {
                joining = false;
                continue;
            }
            if (joining) {
                literals->back().text += text;
            } else {
                literals->push_back({file, text, true, !open_log_calls.empty()});
                if (!declared.empty()) (*constants)[declared].push_back(literals->size() - 1);
            }
            joining = true;
            continue;
        }
        joining = false;
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t j = i;
            while (j < code.size() && (std::isalnum(static_cast<unsigned char>(code[j])) || code[j] == '_')) ++j;
            last_identifier = code.substr(i, j - i);
            if (!open_log_calls.empty()) named_in_log_calls->insert(last_identifier);
            i = j;
            continue;
        }
        if (c == '[') indexed = last_identifier;
        if (c == ']') last_identifier = indexed;
        if (c == '(') {
            ++depth;
            if (last_identifier == "Write" || last_identifier == "WriteFormatted") open_log_calls.push_back(depth);
        } else if (c == ')') {
            if (!open_log_calls.empty() && open_log_calls.back() == depth) open_log_calls.pop_back();
            --depth;
        } else if (c == '=' && last_identifier.size() > 1 && last_identifier[0] == 'k' &&
                   std::isupper(static_cast<unsigned char>(last_identifier[1]))) {
            declared = last_identifier;
        } else if (c == ';') {
            declared.clear();
        }
        if (c != ']') last_identifier.clear();
        ++i;
    }
}

void ListSources(const std::wstring& folder, const std::string& relative, std::vector<std::string>* files) {
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::string path = relative + "/" + WideToUtf8(name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListSources(folder + L"\\" + name, path, files);
        else if (path.size() > 4 && (path.ends_with(".cpp") || path.ends_with(".h"))) files->push_back(path);
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

// file -> log texts of src/ as described at the top.
std::vector<std::pair<std::string, std::string>> LogTexts() {
    std::vector<std::string> files;
    ListSources(std::wstring(PINTLE_SOURCE_DIR_WIN) + L"\\src", "src", &files);
    std::vector<Literal> literals;
    std::set<std::string> named;
    std::map<std::string, std::vector<std::size_t>> constants;
    for (const std::string& file : files) {
        std::wstring path = std::wstring(PINTLE_SOURCE_DIR_WIN) + L"\\" + AnsiToWide(file);
        std::replace(path.begin(), path.end(), L'/', L'\\');
        ScanSource(file, ReadFileBytes(path), &literals, &named, &constants);
    }
    for (const auto& [name, indexes] : constants) {
        if (named.count(name)) {
            for (const std::size_t i : indexes) literals[i].in_log_call = true;
        }
    }
    std::vector<std::pair<std::string, std::string>> texts;
    for (Literal& l : literals) {
        l.ascii = std::all_of(l.text.begin(), l.text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if ((!l.ascii && !kNotLogTexts.count(l.text)) || (l.ascii && l.in_log_call)) texts.emplace_back(l.file, l.text);
    }
    return texts;
}

// Whether some line of `doc` holds `text` (one line of a log text), each
// conversion standing for any text within that line.
bool Documented(const std::string& doc, std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            pieces.back() += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            pieces.back() += '%';
            ++i;
        } else {
            i = text.find_first_of("sdifgxXuc", i);
            pieces.emplace_back();
        }
    }
    std::size_t start = 0;
    while (start < doc.size()) {
        const std::size_t end = std::min(doc.find('\n', start), doc.size());
        const std::string_view line(doc.data() + start, end - start);
        std::size_t at = 0;
        bool all = true;
        for (const std::string& piece : pieces) {
            at = line.find(piece, at);
            if (at == std::string_view::npos) {
                all = false;
                break;
            }
            at += piece.size();
        }
        if (all) return true;
        start = end + 1;
    }
    return false;
}

std::vector<std::string> Undocumented(const std::wstring& doc_path) {
    const std::string doc = ReadFileBytes(std::wstring(PINTLE_SOURCE_DIR_WIN) + L"\\" + doc_path);
    std::vector<std::string> missing;
    for (const auto& [file, text] : LogTexts()) {
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            const std::string line = text.substr(start, end - start);
            if (line.find_first_not_of(' ') != std::string::npos && !Documented(doc, line))
                missing.push_back(file + ": " + line);
            start = end + 1;
        }
    }
    return missing;
}

TEST(LogTexts, AreFoundWhereverTheSourceWritesThem) {
    std::set<std::string> found;
    for (const auto& [file, text] : LogTexts()) found.insert(text);
    // One of each way src/ writes a line, and texts that are no log lines.
    for (const char* line : {"运算溢出 %d", "%s:Log=%.3f", "网页 %d 秒内未收完，整页丢弃: %s", " 通达信板块未改动",
                             "Could not map view of file (%d).\n", "reload %s", "接收到 篮子%d %s %s %.4f元 %d股 ",
                             "不能连接编号为 0 的 助手,  Pintle.dll将不能连接助手下单 错误=%d, "
                             "请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试"})
        EXPECT_TRUE(found.count(line)) << line;
    for (const char* not_a_line : {"助手日志", "Pintle.dll 提示信息", "WenCai\\%d.txt", "Pintle.ini"})
        EXPECT_FALSE(found.count(not_a_line)) << not_a_line;
    EXPECT_TRUE(Documented("x 运算溢出 2147483647 y", "运算溢出 %d"));
    EXPECT_FALSE(Documented("运算溢出\n2147483647", "运算溢出 %d"));
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "  " + line + "\n";
    return text;
}

TEST(LogTexts, EveryOneIsInReliabilityMd) {
    const auto missing = Undocumented(L"docs\\reliability.md");
    EXPECT_TRUE(missing.empty()) << "log texts not in docs/reliability.md:\n" << Lines(missing);
}

TEST(LogTexts, EveryOneIsInTheChineseGuide) {
    const auto missing = Undocumented(L"docs\\zh\\使用说明.md");
    EXPECT_TRUE(missing.empty()) << "log texts not in docs/zh/使用说明.md:\n" << Lines(missing);
}

}  // namespace
}  // namespace pintle::test
