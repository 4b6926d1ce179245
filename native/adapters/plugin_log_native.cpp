// The plug-in log for the native build: the same lines as on Windows
// (log/log_line.h), appended to the file that PINTLE_NATIVE_LOG names, or
// dropped when it names none (the fuzzers write thousands of lines a
// second; composing them is what gets exercised).
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "common/clock.h"
#include "common/local_time.h"
#include "common/text.h"
#include "log/log_line.h"
#include "log/plugin_log.h"
#include "memory_files.h"

namespace pintle {

namespace {
std::mutex g_capture_lock;
bool g_capturing = false;
std::vector<std::string> g_captured;
}  // namespace

namespace native {
void CaptureLog(bool on) {
    std::lock_guard<std::mutex> hold(g_capture_lock);
    g_capturing = on;
    g_captured.clear();
}
std::vector<std::string> TakeLogLines() {
    std::lock_guard<std::mutex> hold(g_capture_lock);
    return std::exchange(g_captured, {});
}
}  // namespace native

struct PluginLog::Impl {
    mutable std::mutex lock;
    std::FILE* file = nullptr;
    std::wstring path;

    void Open() {
        if (file) std::fclose(file);
        file = nullptr;
        path.clear();
        const char* name = std::getenv("PINTLE_NATIVE_LOG");
        if (name == nullptr || *name == '\0') return;
        file = std::fopen(name, "ab");
        if (file) path = AnsiToWide(name);
    }

    void Append(std::wstring_view message) {
        {
            std::lock_guard<std::mutex> hold(g_capture_lock);
            if (g_capturing) g_captured.push_back(WideToUtf8(message));
        }
        const std::string line = ComposeLogLine(ToLocalTime(NowSeconds()), message);
        if (file == nullptr) return;
        std::fwrite(line.data(), 1, line.size(), file);
        std::fflush(file);
    }

    ~Impl() {
        if (file) std::fclose(file);
    }
};

PluginLog::PluginLog() : impl_(std::make_unique<Impl>()) { impl_->Open(); }
PluginLog::~PluginLog() = default;

PluginLog& PluginLog::Instance() {
    static PluginLog log;
    return log;
}

void PluginLog::Reopen() {
    std::lock_guard<std::mutex> hold(impl_->lock);
    impl_->Open();
}

void PluginLog::Write(std::wstring_view text) {
    try {
        std::lock_guard<std::mutex> hold(impl_->lock);
        impl_->Append(text);
    } catch (...) {
    }
}

void PluginLog::WriteFormatted(std::wstring_view format, std::initializer_list<FormatArg> args) {
    try {
        Write(FormatText(format, args));
    } catch (...) {
    }
}

std::wstring PluginLog::Path() const {
    std::lock_guard<std::mutex> hold(impl_->lock);
    return impl_->path;
}

bool PluginLog::IsOpen() const {
    std::lock_guard<std::mutex> hold(impl_->lock);
    return impl_->file != nullptr;
}

}  // namespace pintle
