// The files of the native build: the store's file adapter (store/store_files.h)
// works on files kept in memory, so that the store runs under the sanitizers
// and the fuzzers thousands of times a second, and so that a full disk or a
// failing write can be played at any byte. Native only.
#pragma once
#include <cstdint>
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

}  // namespace pintle::native
