// FetchUrl: one plain HTTP/1.0 GET over a non-blocking Winsock socket, on
// the calling thread. The fetch runs on a formula thread with the call lock
// held, so every order of the process waits for it: from the name lookup to
// the last byte of the body it is bounded by one deadline, and in size.
//
// Why not WinINet: its HttpSendRequestW waits for the whole response head
// with nothing but the receive time-out per wait, so a server that sends a
// header byte every few seconds held the call lock as long as it liked; and
// its asynchronous mode runs a callback of the plug-in on WinINet's threads,
// which must then outlive an unload. Here every wait is a select() (or, for
// the name lookup, an event) bounded by the time left; no thread is created
// and no code of the plug-in runs anywhere but on the calling thread; at the
// deadline the socket is closed at once. The price: no system proxy and no
// redirects, and https is not spoken (ShareBonusUrl is always http).
//
// The request is the one the plug-in sent through WinINet (agent "IE9",
// "*/*", the Host line, no header lines of our own), as HTTP/1.0: the
// server closes the connection after the body and sends no chunked
// encoding.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "common/text.h"
#include "log/plugin_log.h"
#include "net/net.h"

namespace pintle {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
// A response head longer than this is no share-bonus site's: given up.
constexpr std::size_t kHeadCap = 64 * 1024;
constexpr int kTimedOut = WSAETIMEDOUT;  // 10060, what a read that waited 5 s in vain logs

// The deadline is real time, read from the system's tick count and not the
// plug-in's clock seam: it bounds how long the terminal stands still and
// must hold even while a test has the seam.
class Deadline {
public:
    Deadline() : end_(GetTickCount64() + kFetchDeadlineMs) {}
    // Milliseconds left, 0 once passed.
    DWORD Left() const {
        const ULONGLONG now = GetTickCount64();
        return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
    }

private:
    ULONGLONG end_;
};

// One wait: at most `bound`, at most what is left of the deadline.
struct Wait {
    DWORD ms;
    bool until_deadline;  // the deadline, not the bound, ends it
};
Wait WaitFor(const Deadline& deadline, DWORD bound) {
    const DWORD left = deadline.Left();
    return {std::min(left, bound), left <= bound};
}

class WinsockSession {
public:
    WinsockSession() {
        WSADATA data;
        ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (ok_) WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

class Socket {
public:
    Socket() = default;
    explicit Socket(SOCKET s) : s_(s) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : s_(std::exchange(other.s_, INVALID_SOCKET)) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            Close();
            s_ = std::exchange(other.s_, INVALID_SOCKET);
        }
        return *this;
    }
    SOCKET get() const { return s_; }
    explicit operator bool() const { return s_ != INVALID_SOCKET; }
    // Without lingering: a non-blocking socket closes at once, and the
    // server sees the connection end.
    void Close() {
        if (s_ != INVALID_SOCKET) closesocket(std::exchange(s_, INVALID_SOCKET));
    }

private:
    SOCKET s_ = INVALID_SOCKET;
};

// Waits until the socket can be read (or written); false when the wait ran
// out or failed.
bool Ready(SOCKET s, bool write, DWORD ms) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval t{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000 * 1000)};
    const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &t);
    return n > 0 && FD_ISSET(s, &ready);
}

// ---------------------------------------------------------------- the URL

struct Target {
    std::wstring host;       // as the lookup takes it: no brackets around an IPv6 address
    std::wstring port;       // decimal
    std::string authority;   // host[:port] as written, for the Host line
    std::string path;        // from "/", with the query
};

bool IsAsciiPrintable(wchar_t c) { return c > 0x20 && c < 0x7f; }

bool SplitUrl(std::wstring_view url, Target& t) {
    constexpr std::wstring_view kScheme = L"http://";
    if (url.size() < kScheme.size()) return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if (std::towlower(url[i]) != kScheme[i]) return false;
    }
    url.remove_prefix(kScheme.size());
    const std::size_t end = url.find_first_of(L"/?#");
    const std::wstring_view authority = url.substr(0, end);
    std::wstring_view rest = end == std::wstring_view::npos ? std::wstring_view() : url.substr(end);
    rest = rest.substr(0, rest.find(L'#'));
    if (authority.empty() || !std::all_of(authority.begin(), authority.end(), IsAsciiPrintable)) return false;
    std::wstring_view host = authority, port = L"80";
    if (authority.front() == L'[') {
        const std::size_t close = authority.find(L']');
        if (close == std::wstring_view::npos) return false;
        host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != L':') return false;
            port = authority.substr(close + 2);
        }
    } else if (const std::size_t colon = authority.find(L':'); colon != std::wstring_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty() || port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return false;
    const int number = std::stoi(std::wstring(port));
    if (number < 1 || number > 65535) return false;
    t.host.assign(host);
    t.port = std::to_wstring(number);
    t.authority.assign(authority.begin(), authority.end());
    // The path in the ANSI code page, as the code was given; bytes a request
    // line cannot carry are escaped.
    const std::string bytes = WideToAnsi(rest);
    t.path = bytes.empty() || bytes[0] != '/' ? "/" : "";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7f) {
            t.path += c;
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            t.path += '%';
            t.path += kHex[b >> 4];
            t.path += kHex[b & 15];
        }
    }
    return true;
}

// ---------------------------------------------------------- name lookup

struct Address {
    sockaddr_storage bytes{};
    int size = 0;
    int family = 0;
};

// A lookup handed to the system's resolver. It writes `result` and signals
// `overlapped.hEvent` when done, on a thread of its own (not one the
// plug-in makes, and no code of the plug-in runs there). One that has not
// finished when the fetch gives up is left to finish: its block stays
// allocated (a late answer writes into it) and is freed by a later fetch
// once its event is set, or never (at unload it is simply left).
struct Lookup {
    OVERLAPPED overlapped{};
    ADDRINFOEXW* result = nullptr;
    HANDLE cancel = nullptr;

    Lookup() { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Lookup() {
        if (result) FreeAddrInfoExW(result);
        if (overlapped.hEvent) CloseHandle(overlapped.hEvent);
    }
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;
    bool Done() const { return WaitForSingleObject(overlapped.hEvent, 0) == WAIT_OBJECT_0; }
};

std::vector<Lookup*> g_unfinished;  // touched only with the call lock held

void FreeFinishedLookups() {
    std::erase_if(g_unfinished, [](Lookup* lookup) {
        if (!lookup->Done()) return false;
        delete lookup;
        return true;
    });
}

template <class Info>
void AddAddresses(const Info* info, std::vector<Address>& out) {
    // The cast: mingw-w64 declares ADDRINFOEXW's ai_next with a misspelt
    // struct name.
    for (; info != nullptr; info = reinterpret_cast<const Info*>(info->ai_next)) {
        if (info->ai_addr == nullptr || info->ai_addrlen > sizeof(sockaddr_storage)) continue;
        if (info->ai_family != AF_INET && info->ai_family != AF_INET6) continue;
        Address a;
        std::memcpy(&a.bytes, info->ai_addr, info->ai_addrlen);
        a.size = static_cast<int>(info->ai_addrlen);
        a.family = info->ai_family;
        out.push_back(a);
    }
}

// GetAddrInfoExCancel: from Windows 8 on; looked up so that the plug-in
// still loads on Windows 7.
using CancelFn = INT(WSAAPI*)(LPHANDLE);
CancelFn CancelFunction() {
    static const CancelFn fn = reinterpret_cast<CancelFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ws2_32.dll"), "GetAddrInfoExCancel")));
    return fn;
}

// The blocking lookup: at once for an address (AI_NUMERICHOST), at the
// resolver's pace for a name. True when it gave addresses.
bool LookUpNow(const Target& t, int flags, std::vector<Address>& out) {
    ADDRINFOW hints{};
    hints.ai_flags = flags;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(t.host.c_str(), t.port.c_str(), &hints, &found) != 0) return false;
    AddAddresses(found, out);
    FreeAddrInfoW(found);
    return true;
}

// The addresses of the host, within the deadline. An IP address is read as
// it is, without any lookup. A name goes to the system's resolver
// asynchronously (Windows 8 on, and Wine), waited for at most until the
// deadline; answered from its cache or the hosts file (localhost is always
// one of these) it comes at once, and only a DNS server that is slow to
// answer makes the fetch give up. Windows 7 has no asynchronous lookup:
// there the lookup is the blocking one, bounded by the resolver's own
// time-outs, not by the deadline.
std::vector<Address> Resolve(const Target& t, const Deadline& deadline) {
    std::vector<Address> out;
    if (LookUpNow(t, AI_NUMERICHOST, out)) return out;

    ADDRINFOEXW hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    auto* lookup = new Lookup;
    if (lookup->overlapped.hEvent == nullptr) {
        delete lookup;
        return out;
    }
    const DWORD left = deadline.Left();
    timeval limit{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
    const int started = GetAddrInfoExW(t.host.c_str(), t.port.c_str(), NS_DNS, nullptr, &hints, &lookup->result,
                                       &limit, &lookup->overlapped, nullptr, &lookup->cancel);
    if (started == WSA_IO_PENDING) {
        if (WaitForSingleObject(lookup->overlapped.hEvent, deadline.Left()) != WAIT_OBJECT_0) {
            if (const CancelFn cancel = CancelFunction(); cancel != nullptr && lookup->cancel != nullptr)
                cancel(&lookup->cancel);
            g_unfinished.push_back(lookup);
            return out;
        }
    } else if (started == WSAEINVAL || started == ERROR_INVALID_PARAMETER) {
        // No asynchronous lookup on this system (Windows 7 refuses the
        // overlapped structure and the time-out as invalid).
        delete lookup;
        LookUpNow(t, 0, out);
        return out;
    } else if (started != 0) {
        delete lookup;
        return out;
    }
    AddAddresses(lookup->result, out);
    delete lookup;
    return out;
}

// ------------------------------------------------------------ connection

// A connection to the first address that takes one, each attempt bounded by
// the connect time-out and the deadline.
Socket Connect(const std::vector<Address>& addresses, const Deadline& deadline) {
    for (const Address& a : addresses) {
        Socket s(socket(a.family, SOCK_STREAM, IPPROTO_TCP));
        if (!s) continue;
        // Not inherited: a process the terminal starts meanwhile must not
        // keep the connection open after it is closed here.
        SetHandleInformation(reinterpret_cast<HANDLE>(s.get()), HANDLE_FLAG_INHERIT, 0);
        u_long non_blocking = 1;
        if (ioctlsocket(s.get(), FIONBIO, &non_blocking) != 0) continue;
        if (connect(s.get(), reinterpret_cast<const sockaddr*>(&a.bytes), a.size) != 0) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) continue;
            const Wait wait = WaitFor(deadline, kFetchConnectTimeoutMs);
            if (wait.ms == 0 || !Ready(s.get(), true, wait.ms)) continue;
            int error = 0;
            int size = sizeof error;
            if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 || error != 0)
                continue;
        }
        return s;
    }
    return Socket();
}

bool SendAll(SOCKET s, const std::string& bytes, const Deadline& deadline) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) return false;
        const Wait wait = WaitFor(deadline, kFetchSendTimeoutMs);
        if (wait.ms == 0 || !Ready(s, true, wait.ms)) return false;
    }
    return true;
}

// ------------------------------------------------------------- response

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

// The Content-Length of a head, or -1 without one.
long long ContentLength(std::string_view head) {
    for (std::size_t at = head.find('\n'); at != std::string_view::npos; at = head.find('\n', at + 1)) {
        const std::string_view line = head.substr(at + 1);
        if (!StartsWithNoCase(line, "content-length:")) continue;
        std::size_t i = 15;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        long long value = -1;
        for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
            value = std::min<long long>((value < 0 ? 0 : value) * 10 + (line[i] - '0'), 1LL << 40);
        }
        return value;
    }
    return -1;
}

void LogDeadline(std::wstring_view url) {
    PluginLog::Instance().WriteFormatted(kFetchDeadlineLine, {static_cast<int>(kFetchDeadlineMs / 1000), url});
}

void LogReadError(int error) { PluginLog::Instance().WriteFormatted(L"InternetReadFile error = %d", {error}); }

}  // namespace

std::string FetchUrl(std::wstring_view url) {
    const Deadline deadline;
    FreeFinishedLookups();
    Target target;
    if (!SplitUrl(url, target)) return {};
    const WinsockSession winsock;
    if (!winsock.ok()) return {};

    // Until the request is out, any failure (no such host, no connection in
    // time, the deadline) writes nothing, as for any page that cannot be
    // opened.
    const std::vector<Address> addresses = Resolve(target, deadline);
    if (addresses.empty() || deadline.Left() == 0) return {};
    const Socket s = Connect(addresses, deadline);
    if (!s) return {};
    const std::string request = "GET " + target.path + " HTTP/1.0\r\nAccept: */*\r\nHost: " + target.authority +
                                "\r\nUser-Agent: IE9\r\n\r\n";
    if (!SendAll(s.get(), request, deadline)) return {};

    // The response. In its head a failed read or a 5-s wait in vain writes
    // nothing either (the page could not be opened); in the body they drop
    // what came with a log line. The deadline drops the page whole with its
    // line wherever it comes.
    std::string head, body;
    bool in_head = true;
    long long length = -1;  // of the body, when the head gives it
    std::string chunk(kReadChunk, '\0');
    for (;;) {
        const Wait wait = WaitFor(deadline, kFetchReceiveTimeoutMs);
        if (wait.ms == 0 || !Ready(s.get(), false, wait.ms)) {
            if (wait.until_deadline) {
                LogDeadline(url);
            } else if (!in_head) {
                LogReadError(kTimedOut);
            }
            return {};
        }
        const int n = recv(s.get(), chunk.data(), static_cast<int>(chunk.size()), 0);
        if (n == SOCKET_ERROR) {
            const int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK) continue;
            if (!in_head) LogReadError(error);
            return {};
        }
        if (n == 0) {
            if (in_head) return {};
            // The server closed before the length it announced: a page cut
            // short would parse into missing rows.
            if (length >= 0 && static_cast<long long>(body.size()) < length) {
                LogReadError(ERROR_HANDLE_EOF);
                return {};
            }
            return body;
        }
        const std::string_view got(chunk.data(), static_cast<std::size_t>(n));
        if (in_head) {
            const std::size_t searched = head.size() < 3 ? 0 : head.size() - 3;
            head.append(got);
            std::size_t end = head.find("\r\n\r\n", searched);
            std::size_t end_size = 4;
            if (const std::size_t lf = head.find("\n\n", searched); lf != std::string::npos && lf < end) {
                end = lf;
                end_size = 2;
            }
            if (end == std::string::npos) {
                if (head.size() > kHeadCap) return {};
                continue;
            }
            if (!head.starts_with("HTTP/")) return {};
            body.assign(head, end + end_size);
            head.resize(end + end_size);
            in_head = false;
            length = ContentLength(head);
            if (length > static_cast<long long>(kFetchBodyCap)) {
                PluginLog::Instance().WriteFormatted(kFetchCapLine, {static_cast<int>(kFetchBodyCap), url});
                return {};
            }
        } else {
            body.append(got);
        }
        if (body.size() > kFetchBodyCap) {
            PluginLog::Instance().WriteFormatted(kFetchCapLine, {static_cast<int>(kFetchBodyCap), url});
            return {};
        }
        if (length >= 0 && static_cast<long long>(body.size()) >= length) {
            body.resize(static_cast<std::size_t>(length));
            return body;
        }
    }
}

}  // namespace pintle
