// The directories every relative path of the plug-in starts from.
#pragma once
#include <string>
#include <string_view>

namespace pintle {

// Drive and directory of a path, with a trailing backslash; empty when the
// path has no directory part. Byte-level.
std::wstring DirectoryPart(std::wstring_view path);
// File name and extension of a path, without its directory.
std::wstring FileNamePart(std::wstring_view path);
// ASCII-only case-insensitive comparison (file names of executables).
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);

// Directory of the terminal's executable with a trailing backslash, or empty
// when the module name cannot be read (paths then fall back to the current
// directory).
std::wstring TerminalDirectory();
// File name of the terminal's executable, e.g. L"Brisko.exe".
std::wstring TerminalExecutableName();

// Whether a file or directory of that name exists (PathFileExistsW).
bool PathExists(const std::wstring& path);
// Creates one directory level with default security; false when it fails.
bool CreateOneDirectory(const std::wstring& path);

// Tests run inside their own executable; they point the terminal directory
// elsewhere. Empty text restores the real one.
void SetTerminalDirectoryForTesting(const std::wstring& dir);

}  // namespace pintle
