// bonus-server.exe: a small HTTP server on 127.0.0.1 that stands in for the
// finance site in the tests and the demo. It serves pages from a directory,
// or misbehaves on purpose so the fetcher's bounds can be seen to hold.
//
//   bonus-server.exe [--mode files|silent|trickle|trickle-head|flood|stall|rows]
//                    [--root DIR] [--rows N] [--interval-ms N]
//                    [--port N] [--port-file PATH] [--journal PATH]
//                    [--ready-event NAME] [--quit-event NAME]
//
// files         every GET is answered with the file of the root directory
//               named by the last segment of the path (".../stockid/600000.phtml"
//               gives 600000.phtml), or 404; HTTP/1.0, the connection closed
//               after it.
// silent        reads the request and never answers.
// trickle       sends the headers, then one byte every 100 ms, never ending.
// trickle-head  sends the status line, then one byte of a header line every
//               --interval-ms (1000), never ending the head; when the client
//               closes the connection it journals "closed at tick T" (T its
//               GetTickCount64).
// flood         sends the headers, then bytes as fast as it can, never ending.
// stall         sends the headers and half of a 4000-byte body, then nothing.
// rows          answers every GET with a share-bonus page of --rows short
//               dividend rows (0, the default: as many as fit in 4194304
//               bytes, the most a fetch takes), one ex-date a day going back
//               from yesterday, 20000 days round and round.
//
// --port 0 (the default) takes any free port; the port is written to the
// port file before the ready event is set. The journal gets every request
// head as received. The server runs until the quit event is set or it is
// killed.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct Options {
    std::wstring mode = L"files";
    std::wstring root = L".";
    int rows = 0;
    int interval_ms = 1000;
    int port = 0;
    std::wstring port_file, journal, ready_event, quit_event;
};

Options g_options;
std::mutex g_journal_lock;

bool WriteWholeFile(const std::wstring& path, const std::string& bytes, bool append) {
    HANDLE f = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0;
    CloseHandle(f);
    return ok && written == bytes.size();
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(f);
    return true;
}

bool SendAll(SOCKET s, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// The request head up to its blank line (at most 64 KiB).
std::string ReadHead(SOCKET s) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    return head;
}

// The file a request names: the last path segment, without a query; only
// plain names, so nothing outside the root can be asked for.
std::wstring FileFor(const std::string& head) {
    const std::size_t start = head.find(' ');
    const std::size_t end = start == std::string::npos ? std::string::npos : head.find_first_of(" ?#", start + 1);
    if (end == std::string::npos) return {};
    const std::string path = head.substr(start + 1, end - start - 1);
    const std::string name = path.substr(path.find_last_of('/') + 1);
    if (name.empty() || name.find_first_of("\\:") != std::string::npos || name == "." || name == "..") return {};
    return g_options.root + L"\\" + std::wstring(name.begin(), name.end());
}

void Journal(const std::string& bytes) {
    if (g_options.journal.empty()) return;
    std::lock_guard<std::mutex> hold(g_journal_lock);
    WriteWholeFile(g_options.journal, bytes, true);
}

// Waits up to ms for the client; true when it closed the connection (what
// it sends meanwhile is read and dropped).
bool ClientClosed(SOCKET s, int ms) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        const ULONGLONG left = end - now;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval t{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
        const int n = select(0, &readable, nullptr, nullptr, &t);
        if (n < 0) return true;
        if (n == 0) return false;
        char drain[256];
        if (recv(s, drain, sizeof drain, 0) <= 0) return true;
    }
}

// The page of the rows mode: table 1 of the site's share-bonus page, short
// rows (announcement date, bonus, conversion, cash, progress, ex-date).
std::string RowsPage() {
    const std::string head = "<html><body><table id=\"sharebonus_1\"><tbody>\r\n";
    const std::string tail = "</tbody></table></body></html>\r\n";
    constexpr std::size_t kMost = 4194304;
    std::string page = head;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG today = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 864000000000ULL;
    for (int i = 0; g_options.rows == 0 || i < g_options.rows; ++i) {
        const ULONGLONG day = (today - 1 - static_cast<ULONGLONG>(i % 20000)) * 864000000000ULL;
        const FILETIME ft{static_cast<DWORD>(day), static_cast<DWORD>(day >> 32)};
        SYSTEMTIME st;
        FileTimeToSystemTime(&ft, &st);
        char row[160];
        std::snprintf(row, sizeof row,
                      "<tr><td>a</td><td>0.001</td><td>0</td><td>0.01</td><td>b</td><td>%04d-%02d-%02d</td></tr>\n",
                      st.wYear, st.wMonth, st.wDay);
        if (g_options.rows == 0 && page.size() + std::strlen(row) + tail.size() > kMost) break;
        page += row;
    }
    return page + tail;
}

void Serve(SOCKET s) {
    const std::string head = ReadHead(s);
    Journal(head);
    const std::string streaming = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    if (g_options.mode == L"silent") {
        Sleep(INFINITE);
    } else if (g_options.mode == L"trickle-head") {
        if (SendAll(s, "HTTP/1.0 200 OK\r\nX-Trickle: ")) {
            while (!ClientClosed(s, g_options.interval_ms)) {
                if (!SendAll(s, "x")) break;
            }
            Journal("closed at tick " + std::to_string(GetTickCount64()) + "\r\n");
        }
    } else if (g_options.mode == L"rows") {
        const std::string body = RowsPage();
        SendAll(s, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
                       "\r\n\r\n" + body);
        shutdown(s, SD_SEND);
        ClientClosed(s, 10000);
    } else if (g_options.mode == L"trickle") {
        if (SendAll(s, streaming)) {
            while (SendAll(s, "<")) Sleep(100);
        }
    } else if (g_options.mode == L"stall") {
        if (SendAll(s, "HTTP/1.0 200 OK\r\nContent-Length: 4000\r\n\r\n" + std::string(2000, 'x'))) Sleep(INFINITE);
    } else if (g_options.mode == L"flood") {
        const std::string block(65536, 'x');
        if (SendAll(s, streaming)) {
            while (SendAll(s, block)) {
            }
        }
    } else {
        std::string body;
        std::string status = "200 OK";
        const std::wstring file = FileFor(head);
        if (file.empty() || !ReadWholeFile(file, body)) {
            status = "404 Not Found";
            body = "<html><body>not found</body></html>";
        }
        SendAll(s, "HTTP/1.0 " + status + "\r\nContent-Type: text/html; charset=gb2312\r\nContent-Length: " +
                       std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        shutdown(s, SD_SEND);
        char drain[256];
        while (recv(s, drain, sizeof drain, 0) > 0) {
        }
    }
    closesocket(s);
}

bool ParseOptions(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring name = argv[i];
        if (i + 1 >= argc) return false;
        const std::wstring value = argv[++i];
        if (name == L"--mode") g_options.mode = value;
        else if (name == L"--root") g_options.root = value;
        else if (name == L"--rows") g_options.rows = _wtoi(value.c_str());
        else if (name == L"--interval-ms") g_options.interval_ms = _wtoi(value.c_str());
        else if (name == L"--port") g_options.port = _wtoi(value.c_str());
        else if (name == L"--port-file") g_options.port_file = value;
        else if (name == L"--journal") g_options.journal = value;
        else if (name == L"--ready-event") g_options.ready_event = value;
        else if (name == L"--quit-event") g_options.quit_event = value;
        else return false;
    }
    const std::wstring& m = g_options.mode;
    return m == L"files" || m == L"silent" || m == L"trickle" || m == L"trickle-head" || m == L"flood" ||
           m == L"stall" || m == L"rows";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (!ParseOptions(argc, argv)) {
        std::fprintf(stderr,
                     "usage: bonus-server [--mode files|silent|trickle|trickle-head|flood|stall|rows] [--root DIR]\n"
                     "       [--rows N] [--interval-ms N] [--port N] [--port-file PATH] [--journal PATH]\n"
                     "       [--ready-event NAME] [--quit-event NAME]\n");
        return 2;
    }
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(g_options.port));
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0) {
        std::fprintf(stderr, "bonus-server: cannot listen on 127.0.0.1:%d (error %d)\n", g_options.port,
                     WSAGetLastError());
        return 1;
    }
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);
    if (!g_options.port_file.empty() && !WriteWholeFile(g_options.port_file, std::to_string(port) + "\n", false)) {
        std::fprintf(stderr, "bonus-server: cannot write the port file\n");
        return 1;
    }
    std::printf("bonus-server: %ls on 127.0.0.1:%d\n", g_options.mode.c_str(), port);
    std::fflush(stdout);

    if (!g_options.quit_event.empty()) {
        HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, g_options.quit_event.c_str());
        std::thread([quit] {
            WaitForSingleObject(quit, INFINITE);
            ExitProcess(0);
        }).detach();
    }
    if (!g_options.ready_event.empty()) {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, g_options.ready_event.c_str());
        SetEvent(ready);
    }
    for (;;) {
        const SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            Sleep(10);
            continue;
        }
        std::thread(Serve, client).detach();
    }
}
