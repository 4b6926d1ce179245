#include "support/bonus_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {

std::wstring ShareBonusPagesDir() { return std::wstring(PINTLE_SOURCE_DIR_WIN) + L"\\tests\\data\\sharebonus"; }

BonusServer::BonusServer(const std::wstring& mode, const std::wstring& work_dir, const std::wstring& options)
    : journal_(work_dir + L"\\bonus-server-journal.txt") {
    static std::atomic<int> counter{0};
    const std::wstring base = L"PintleTest-BonusServer-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter);
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, (base + L"-ready").c_str()));
    quit_.reset(CreateEventW(nullptr, TRUE, FALSE, (base + L"-quit").c_str()));
    const std::wstring port_file = work_dir + L"\\bonus-server-port.txt";
    const std::wstring exe = BuildFile(L"bonus-server.exe");
    process_.reset(StartProcess(exe, L"--mode " + mode + L" --root " + QuoteArg(ShareBonusPagesDir()) + L" --port-file " +
                                         QuoteArg(port_file) + L" --journal " + QuoteArg(journal_) + L" --ready-event " +
                                         base + L"-ready --quit-event " + base + L"-quit " + options,
                                work_dir, nullptr));
    if (!process_) {
        ADD_FAILURE() << "cannot start bonus-server.exe, error " << GetLastError();
        return;
    }
    HANDLE waits[] = {ready.get(), process_.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, 20000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "bonus-server.exe did not start listening";
        return;
    }
    port_ = std::atoi(ReadFileBytes(port_file).c_str());
    if (port_ == 0) ADD_FAILURE() << "bonus-server.exe wrote no port";
}

std::string BonusServer::Journal() const { return ReadFileBytes(journal_); }

void BonusServer::Stop() {
    if (!process_) return;
    SetEvent(quit_.get());
    if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 10000);
    process_.reset();
}

}  // namespace pintle::test
