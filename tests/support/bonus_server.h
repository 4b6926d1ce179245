// Runs the stand-in finance site bonus-server.exe (from the build directory)
// on a free port of 127.0.0.1 for one test, and reads its request journal.
#pragma once
#include <windows.h>

#include <string>

#include "common/win.h"

namespace pintle::test {

// Share-bonus pages the project keeps for tests and the demo.
std::wstring ShareBonusPagesDir();

class BonusServer {
public:
    // mode: "files" (serving ShareBonusPagesDir()), "silent", "trickle",
    // "trickle-head", "flood", "stall" or "rows", with more options in
    // `options` (docs in tools/bonus-server/main.cpp). Waits until it
    // listens; a failure is reported with ADD_FAILURE and Started() is then
    // false.
    BonusServer(const std::wstring& mode, const std::wstring& work_dir, const std::wstring& options = L"");
    ~BonusServer() { Stop(); }
    BonusServer(const BonusServer&) = delete;
    BonusServer& operator=(const BonusServer&) = delete;

    bool Started() const { return port_ != 0; }
    // "127.0.0.1:PORT", a ShareBonusHost value.
    std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(port_); }
    // Every request head received so far, as received.
    std::string Journal() const;
    // Ends the server; its port is then closed. Idempotent.
    void Stop();

private:
    std::wstring journal_;
    UniqueHandle quit_;
    UniqueHandle process_;
    int port_ = 0;
};

}  // namespace pintle::test
