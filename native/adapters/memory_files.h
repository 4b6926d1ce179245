// The files of the native build: the file adapter (common/shared_file.h)
// works on files kept in memory, so that the store and the block lists run
// under the sanitizers and the fuzzers thousands of times a second, and so
// that a full disk, a failing write or a crash can be played at any call.
// Native only.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pintle::native {

// Puts a file in place of whatever had that name.
void PutFile(const std::wstring& path, std::string bytes);
// The bytes of a file, or nothing when there is no such file.
std::optional<std::string> FileBytes(const std::wstring& path);
std::vector<std::wstring> FileNames();
// No files, no faults.
void RemoveAllFiles();

// Faults. The disk holds `bytes` bytes in all files together (-1: no
// limit): a write that needs more writes what fits and fails, as a full
// disk does. After `writes` more successful writes every write fails
// without writing anything (-1: never). A read-only file cannot be opened
// for writing, replaced or deleted.
void SetDiskCapacity(int64_t bytes);
void FailWritesAfter(int64_t writes);
void SetReadOnly(const std::wstring& path, bool read_only);
// Every read of a file that reaches `offset` fails, as on a bad sector or a
// locked range (-1: every read works again).
void SetUnreadableFrom(const std::wstring& path, int64_t offset);

// The plug-in log's lines (without their time) since the last call, kept
// while capturing is on (it is off at start: the fuzzers write thousands of
// lines a second).
void CaptureLog(bool on);
std::vector<std::string> TakeLogLines();

// Crash points. A mutating call is one that changes a file: a create, a
// write, a resize, a rename, a delete, a file-time touch. Counting starts
// again at 0 with CountMutatingCalls and CrashAtMutatingCall.
void CountMutatingCalls();
int64_t MutatingCalls();
// The k-th mutating call from now (1 for the first) is not carried out:
// every file is kept as it is at that moment and the call throws CrashPoint,
// as if the process died there. Every call that returned is kept.
struct CrashPoint {};
void CrashAtMutatingCall(int64_t k);
// The files as the crash left them (and no crash armed any more).
std::map<std::wstring, std::string> FilesAtCrash();

}  // namespace pintle::native
