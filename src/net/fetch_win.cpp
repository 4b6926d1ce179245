// FetchUrl on WinINet. The fetch runs on a formula thread with the call lock
// held, so every order of the process waits for it: it is bounded in time
// and size. The request is opened with InternetConnectW + HttpOpenRequestW +
// HttpSendRequestW rather than InternetOpenUrlW because time-outs set on the
// request handle bound every wait on all platforms we run on, while those of
// the root handle do not always reach InternetOpenUrlW. The request is the
// one InternetOpenUrlW would send: agent "IE9", reload flag, "*/*", no
// header lines of our own.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <string>
#include <utility>

#include "log/plugin_log.h"
#include "net/net.h"

namespace pintle {
namespace {

constexpr DWORD kReloadFlag = 0x80000000;  // INTERNET_FLAG_RELOAD: from the server, never the cache
constexpr DWORD kReadChunk = 1024;

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET h) : h_(h) {}
    ~InternetHandle() {
        if (h_) InternetCloseHandle(h_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_;
};

void SetTimeouts(HINTERNET h) {
    const std::pair<DWORD, DWORD> options[] = {{INTERNET_OPTION_CONNECT_TIMEOUT, kFetchConnectTimeoutMs},
                                               {INTERNET_OPTION_SEND_TIMEOUT, kFetchSendTimeoutMs},
                                               {INTERNET_OPTION_RECEIVE_TIMEOUT, kFetchReceiveTimeoutMs}};
    for (auto [option, ms] : options) InternetSetOptionW(h, option, &ms, sizeof ms);
}

// The deadline is real time, read from the system's tick count and not the
// plug-in's clock seam: it bounds how long the terminal stands still, like
// WinINet's own time-outs, and must hold even while a test has the seam.
class Deadline {
public:
    Deadline() : end_(GetTickCount64() + kFetchDeadlineMs) {}
    bool Passed() const { return GetTickCount64() >= end_; }

private:
    ULONGLONG end_;
};

}  // namespace

std::string FetchUrl(std::wstring_view url_text) {
    const Deadline deadline;
    const std::wstring url(url_text);

    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;  // non-zero: point into url
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return {};
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return {};
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";
    const DWORD flags = kReloadFlag | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);

    const InternetHandle root(InternetOpenW(L"IE9", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) return {};
    SetTimeouts(root.get());
    const InternetHandle connection(
        InternetConnectW(root.get(), host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return {};
    const wchar_t* accept[] = {L"*/*", nullptr};
    const InternetHandle request(
        HttpOpenRequestW(connection.get(), L"GET", path.c_str(), nullptr, nullptr, accept, flags, 0));
    if (!request) return {};
    SetTimeouts(request.get());
    // Cannot connect, no answer in time: no log line, as for any page that
    // cannot be opened.
    if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return {};

    std::string body;
    char chunk[kReadChunk];
    for (;;) {
        if (deadline.Passed()) {
            PluginLog::Instance().WriteFormatted(kFetchDeadlineLine, {static_cast<int>(kFetchDeadlineMs / 1000), url});
            return {};
        }
        // Asking what is there first keeps a slow server from holding one
        // read until a whole chunk has trickled in: each wait is bounded by
        // the receive time-out, and the deadline is checked between them.
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request.get(), &available, 0, 0)) {
            PluginLog::Instance().WriteFormatted(L"InternetReadFile error = %d", {static_cast<int>(GetLastError())});
            return {};
        }
        if (available == 0) break;
        DWORD got = 0;
        if (!InternetReadFile(request.get(), chunk, std::min(available, kReadChunk), &got)) {
            // A page cut short would parse into missing rows: nothing is kept.
            PluginLog::Instance().WriteFormatted(L"InternetReadFile error = %d", {static_cast<int>(GetLastError())});
            return {};
        }
        if (got == 0) break;
        body.append(chunk, got);
        if (body.size() > kFetchBodyCap) {
            PluginLog::Instance().WriteFormatted(kFetchCapLine, {static_cast<int>(kFetchBodyCap), url});
            return {};
        }
    }
    return body;
}

}  // namespace pintle
