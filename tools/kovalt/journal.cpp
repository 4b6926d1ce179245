#include "journal.h"

#include <cstdio>

namespace kovalt {

bool Journal::Open(const std::wstring& path, bool live, DWORD* error) {
    // Readers open the file while it is being written: share read and write,
    // and delete so a test can clean its folder up after the run.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    file_.reset(h);
    live_ = live;
    return true;
}

void Journal::Append(std::string_view body) {
    std::string line = "seq=" + std::to_string(next_seq_++) + " ";
    line.append(body);
    line += '\n';

    // One write per line: a reader sees whole lines, or a last line without
    // its '\n' that it knows to ignore.
    if (file_) {
        DWORD written = 0;
        WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        FlushFileBuffers(file_.get());
    }
    if (live_) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
}

}  // namespace kovalt
