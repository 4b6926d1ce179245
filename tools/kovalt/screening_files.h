// Screening result files, as an assistant leaves the current result of a
// numbered screening query under its own directory: WenCai\N.txt,
// HotStocks\N.txt or AI\N.txt, one line per code ("CODE", TAB, "kovalt",
// CR LF). The stand-in writes the files named on its command line at start,
// before it says it is ready, and again at every republish, each time as a
// new file moved over the old one.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace kovalt {

struct ScreeningFile {
    std::wstring kind;               // sub-directory: WenCai, HotStocks or AI
    int number = 0;                  // query number: the file is <number>.txt
    std::vector<std::string> codes;  // ASCII, in file order; none gives an empty file
};

// "KIND:N:CODE,CODE,..." (the codes may be empty). Nothing when malformed.
// Pure, no Windows.
std::optional<ScreeningFile> ParseScreeningOption(const std::wstring& text);
// The file's bytes. Pure, no Windows.
std::string ScreeningFileBytes(const ScreeningFile& file);

// Directory of Kovalt.exe, with a trailing backslash: the assistant
// directory the plug-in finds from the main window.
std::wstring ExecutableDirectory();

// Writes every file under `dir` (with a trailing backslash), creating the
// kind's sub-directory. False with a message on the first failure.
bool WriteScreeningFiles(const std::wstring& dir, const std::vector<ScreeningFile>& files, std::wstring* error);

}  // namespace kovalt
