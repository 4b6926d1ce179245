#include "log/plugin_log.h"

#include <windows.h>

#include "common/clock.h"
#include "common/local_time.h"
#include "common/paths.h"
#include "common/win.h"
#include "log/log_line.h"

namespace pintle {
namespace {

constexpr ULONGLONG kLogLockWaitMs = 1000;
constexpr ULONGLONG kLogLockImpatienceMs = 60000;

}  // namespace

struct PluginLog::Impl {
    mutable CriticalSection lock;
    UniqueHandle file;
    std::wstring path;
    // Kept from line to line under the lock: a busy formula thread writes
    // many lines a second, and the time text changes once a second.
    int64_t stamp_second = -1;
    std::string stamp;
    std::wstring text;
    std::string line;
    // The last write put only part of its line on the disk (a full disk):
    // the next line starts on a line of its own.
    bool line_cut = false;
    // Until this tick count, after a line that had to go without the append
    // lock, each line tries the lock once and does not wait for it.
    ULONGLONG impatient_until = 0;

    void Open() {
        file.reset();
        const LocalTime today = ToLocalTime(NowSeconds());
        const std::wstring dir = TerminalDirectory() + kLogDirectoryName;
        CreateDirectoryW(dir.c_str(), nullptr);  // an existing directory is fine
        path = dir + L"\\" + LogFileName(today);
        // Append-only whether or not the file exists yet: another terminal
        // in the same directory may be writing the same day's file, and
        // every line of both must land whole at the end. (Read access only
        // so that the file can carry the append lock below.)
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        file.reset(h == INVALID_HANDLE_VALUE ? nullptr : h);
    }

    void Append(std::wstring_view message) {
        if (!file) return;
        const int64_t now = NowSeconds();
        if (now != stamp_second || stamp.empty()) {
            stamp = FormatTimestamp(ToLocalTime(now));
            stamp_second = now;
        }
        ComposeLogLineInto(line, stamp, message);
        if (line_cut) line.insert(0, "\r\n");
        AppendLock one_at_a_time(file.get(), impatient_until);
        DWORD written = 0;
        WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        // A write that put nothing down leaves the file as it was; one that
        // put down part of the line leaves it cut.
        if (written == line.size()) {
            line_cut = false;
        } else if (written > 0) {
            line_cut = true;
        }
    }

    // The appends of every process writing the file go one at a time. An
    // append is one write at the end on Windows, but not everywhere the DLL
    // runs (Wine finds the end and then writes there, so two terminals can
    // write at the same place and one line is lost). The lock is one byte far
    // past any end, so it never stands in the way of a reader. A line waits
    // for it at most a second of real time (the tick count, not the clock
    // seam, which a test may hold still): a line is not worth a frozen
    // terminal, and it is then appended without the lock. For a minute
    // after that, a lock that is held is not waited for at all, so a writer
    // that keeps it (a hung process) costs each line one try, not a second.
    class AppendLock {
    public:
        AppendLock(HANDLE file, ULONGLONG& impatient_until) : file_(file) {
            const ULONGLONG start = GetTickCount64();
            const bool patient = start >= impatient_until;
            for (;;) {
                OVERLAPPED at = Where();
                if (LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
                    locked_ = true;
                    return;
                }
                if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) return;
                const ULONGLONG now = GetTickCount64();
                if (!patient || now - start >= kLogLockWaitMs) {
                    impatient_until = now + kLogLockImpatienceMs;
                    return;
                }
                Sleep(1);
            }
        }
        ~AppendLock() {
            OVERLAPPED at = Where();
            if (locked_) UnlockFileEx(file_, 0, 1, 0, &at);
        }
        AppendLock(const AppendLock&) = delete;
        AppendLock& operator=(const AppendLock&) = delete;

    private:
        static OVERLAPPED Where() {
            OVERLAPPED at{};
            at.OffsetHigh = 0x40000000u;  // byte 2^62
            return at;
        }
        HANDLE file_;
        bool locked_ = false;
    };
};

PluginLog::PluginLog() : impl_(std::make_unique<Impl>()) { impl_->Open(); }
PluginLog::~PluginLog() = default;

PluginLog& PluginLog::Instance() {
    // A function-local static is initialised exactly once even under a race,
    // and destroyed when the library unloads.
    static PluginLog log;
    return log;
}

void PluginLog::Reopen() {
    ScopedLock hold(impl_->lock);
    impl_->Open();
}

void PluginLog::Write(std::wstring_view text) {
    try {
        ScopedLock hold(impl_->lock);
        impl_->Append(text);
    } catch (...) {
        // A line that cannot be written is dropped; the caller carries on.
    }
}

void PluginLog::WriteFormatted(std::wstring_view format, std::initializer_list<FormatArg> args) {
    try {
        ScopedLock hold(impl_->lock);
        if (!impl_->file) return;
        impl_->text.clear();
        AppendFormatted(impl_->text, format, args);
        impl_->Append(impl_->text);
    } catch (...) {
        // A line that cannot be written is dropped; the caller carries on.
    }
}

std::wstring PluginLog::Path() const {
    ScopedLock hold(impl_->lock);
    return impl_->path;
}

bool PluginLog::IsOpen() const {
    ScopedLock hold(impl_->lock);
    return static_cast<bool>(impl_->file);
}

}  // namespace pintle
