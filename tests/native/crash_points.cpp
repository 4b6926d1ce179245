// A crash at every write. Each operation that changes a file the user keeps
// (a data.db append and an in-place update, the upgrade of a version-1 and
// of a version-2 data.db, a history append, a DZH add and remove, a TDX add
// and remove) is first run once to count the calls it makes that change a
// file. Then, for every k, it runs on a fresh copy of the files and the
// process "dies" at its k-th such call: the in-memory files are kept as they
// are at that moment (every call that returned, nothing after), a fresh
// process opens them, and one more writable open (for a block file: one more
// edit) runs. After that, what was stored before reads back, the
// operation's own value is the old one or the new one, no key has a second
// record, no file got shorter (but a block file by the one entry a remove
// takes out), and no temporary file or copy is left.
//
// Prints one line per operation, "crash points: <operation> <n>, all
// passed", and every failure; exits 1 when there was one. Native only.
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "blocks/blocks.h"
#include "common/clock.h"
#include "common/text.h"
#include "memory_files.h"
#include "store/key_value_store.h"
#include "support/block_bytes.h"
#include "support/store_bytes.h"

namespace {

using namespace pintle;
using namespace pintle::test;
using Files = std::map<std::wstring, std::string>;

const std::wstring kDir = L"C:\\t\\TradeSelfData\\";
const std::wstring kDb = kDir + L"data.db";
const std::wstring kHistory = kDir + L"data\\0\\600000\\0\\3\\10001.dat";
const std::wstring kBlocks = L"C:\\t\\USERDATA\\block\\";
const std::wstring kDzh = kBlocks + L"自选股3.BLK";
const std::wstring kTdx = L"C:\\t\\T0002\\blocknew\\ZXG3.blk";
constexpr uint32_t kT = 1772674200;  // the manual clock's minute

struct Key {
    std::string code;
    int32_t slot;
};
const Key kA{"600000", 100}, kB{"000001", 100}, kC{"300750", 100};

// One operation: the files it starts from, what a running terminal had done
// before it (not counted), the operation itself, and what must hold after a
// crash anywhere in it and the next open.
struct Operation {
    std::string name;
    Files files;
    std::function<std::shared_ptr<void>()> prepare;
    std::function<void(void*)> run;
    std::function<void(const Files& before, const Files& crashed, const Files& reopened, std::vector<std::string>&)>
        check;
};

void PutAll(const Files& files) {
    native::RemoveAllFiles();
    for (const auto& [name, bytes] : files) native::PutFile(name, bytes);
}

Files AllFiles() {
    Files files;
    for (const auto& name : native::FileNames()) files[name] = *native::FileBytes(name);
    return files;
}

std::string Name(const std::wstring& path) { return WideToUtf8(path); }

// What no operation may leave behind once the next open has run.
void NoLeftovers(const Files& reopened, std::vector<std::string>& faults) {
    for (const auto& [name, bytes] : reopened) {
        for (const wchar_t* mark : {L".pintle-upgrade", L".pintle-new", L".tmp"}) {
            if (name.find(mark) != std::wstring::npos) faults.push_back("left behind: " + Name(name));
        }
    }
}

void NoneShorter(const Files& before, const Files& crashed, std::vector<std::string>& faults,
                 const std::wstring& may_lose = L"", std::size_t by = 0) {
    for (const auto& [name, bytes] : before) {
        const auto now = crashed.find(name);
        const std::size_t size = now == crashed.end() ? 0 : now->second.size();
        if (size >= bytes.size()) continue;
        if (name == may_lose && size == bytes.size() - by) continue;
        faults.push_back("shorter: " + Name(name) + " " + std::to_string(bytes.size()) + " -> " + std::to_string(size));
    }
}

// Every key of the data.db, with how many records hold it.
std::map<std::string, int> RecordsPerKey(const std::string& db) {
    std::map<std::string, int> keys;
    if (db.size() < 8) return keys;
    int32_t version = 0;
    std::memcpy(&version, db.data(), 4);
    const std::size_t size = version >= 3 ? 48 : 40;
    for (std::size_t at = 8; at + size <= db.size(); at += size) {
        const std::string code = db.substr(at, 12).c_str();
        int32_t slot = 0;
        std::memcpy(&slot, db.data() + at + (version >= 3 ? 20 : 16), 4);
        ++keys[code + "/" + std::to_string(slot)];
    }
    return keys;
}

double Read(const Key& key) {
    KeyValueStore reader;
    reader.Open(kDb, false);
    return reader.ReadValue(key.code, 0, 0, key.slot).value;
}

void ExpectValue(const Key& key, std::set<double> allowed, std::vector<std::string>& faults) {
    const double v = Read(key);
    if (!allowed.count(v)) faults.push_back(key.code + " reads " + std::to_string(v));
}

void NoSecondRecord(const Files& reopened, std::vector<std::string>& faults) {
    for (const auto& [key, n] : RecordsPerKey(reopened.at(kDb))) {
        if (n > 1) faults.push_back(key + " has " + std::to_string(n) + " records");
    }
}

// The store's operations: a terminal that opened its store and now writes.
Operation StoreWrite(std::string name, Key key, double value, std::set<double> allowed, int32_t period = 0) {
    Operation op;
    op.name = std::move(name);
    op.files = {{kDb, Head(4, 2) + Rec48(kA.code, 0, 0, kA.slot, 0, 1, kT) + Rec48(kB.code, 0, 0, kB.slot, 0, 2, kT)},
                {kHistory, Head(2, 2) + Entry(kT - 120, 7) + Entry(kT - 60, 8)}};
    op.prepare = [] {
        auto store = std::make_shared<KeyValueStore>();
        store->Open(kDb, true);
        return std::static_pointer_cast<void>(store);
    };
    op.run = [key, value, period](void* store) {
        static_cast<KeyValueStore*>(store)->WriteValue(key.code, 0, 0, key.slot, value, period, kT);
    };
    op.check = [key, value, allowed, period](const Files& before, const Files& crashed, const Files& reopened,
                                             std::vector<std::string>& faults) {
        NoneShorter(before, crashed, faults);
        NoLeftovers(reopened, faults);
        NoSecondRecord(reopened, faults);
        if (key.code != kA.code || key.slot != kA.slot) ExpectValue(kA, {1}, faults);
        if (key.code != kB.code || key.slot != kB.slot) ExpectValue(kB, {2}, faults);
        if (period == 0) ExpectValue(key, allowed, faults);
        // A history keeps every entry it had; the new one is there or not.
        KeyValueStore reader;
        reader.Open(kDb, false);
        std::vector<std::pair<uint32_t, double>> read, old = {{kT - 120, 7}, {kT - 60, 8}};
        for (const auto& p : reader.ReadHistory("600000", 0, 0, 10001, 3)) read.emplace_back(p.time, p.value);
        auto added = old;
        added.emplace_back(kT, value);
        if (read != old && (period == 0 || read != added)) faults.push_back("the history is neither the old nor the new one");
    };
    return op;
}

Operation Upgrade(int32_t version) {
    Operation op;
    op.name = "upgrade of version " + std::to_string(version);
    op.files = {{kDb, Head(version, 2) + Rec40(kA.code, 0, kA.slot, 0, 1, kT) + Rec40(kB.code, 0, kB.slot, 0, 2, kT)}};
    op.prepare = [] { return std::shared_ptr<void>(); };
    op.run = [](void*) { KeyValueStore().Open(kDb, true); };
    op.check = [](const Files& before, const Files& crashed, const Files& reopened, std::vector<std::string>& faults) {
        NoneShorter(before, crashed, faults);
        NoLeftovers(reopened, faults);
        NoSecondRecord(reopened, faults);
        ExpectValue(kA, {1}, faults);
        ExpectValue(kB, {2}, faults);
        int32_t now = 0;
        std::memcpy(&now, reopened.at(kDb).data(), 4);
        if (now != 3) faults.push_back("not upgraded by the next open: version " + std::to_string(now));
    };
    return op;
}

// A block edit; the next open is one more edit of the same file, by a
// fresh process (DzhBlockFormat unknown again).
Operation BlockEdit(std::string name, const std::wstring& path, std::string file, std::function<bool()> edit,
                    std::function<bool()> next, std::vector<std::vector<std::string>> allowed, std::size_t record,
                    std::function<std::vector<std::string>(const std::string&)> read) {
    Operation op;
    op.name = std::move(name);
    op.files = {{path, std::move(file)}, {kBlocks + L"A股板块.BLK", A5({})}};
    op.prepare = [] {
        ResetBlocksState();
        return std::shared_ptr<void>();
    };
    op.run = [edit](void*) { edit(); };
    op.check = [=](const Files& before, const Files& crashed, const Files&, std::vector<std::string>& faults) {
        NoneShorter(before, crashed, faults, path, record);
        const auto it = crashed.find(path);
        const auto list = read(it == crashed.end() ? std::string() : it->second);
        bool found = false;
        for (const auto& a : allowed) found = found || list == a;
        if (!found) faults.push_back("the list after the crash is neither the old nor the new one");
        ResetBlocksState();
        if (!next()) faults.push_back("the next edit failed");
        NoLeftovers(AllFiles(), faults);
    };
    return op;
}

std::vector<std::string> DzhList(const std::string& bytes) { return DzhBlockTexts(DecodeDzhBlock(bytes)); }

std::vector<Operation> Operations() {
    using L = std::vector<std::string>;
    return {
        StoreWrite("data.db append", kC, 3, {0, 3}),
        StoreWrite("data.db in-place update", kA, 9, {1, 9}),
        Upgrade(1),
        Upgrade(2),
        StoreWrite("history append", {"600000", 10001}, 5, {0, 5}, 3),
        BlockEdit("DZH add", kDzh, A5({"SH600036", "SZ000002"}),
                  [] { return AddToDzhBlock(kDzh, "600000", false) == 1; },
                  [] { return AddToDzhBlock(kDzh, "300750", false) == 1; },
                  {L{"SH600036", "SZ000002"}, L{"SH600036", "SZ000002", "SH600000"}}, 12, DzhList),
        BlockEdit("DZH remove", kDzh, A5({"SH600036", "SZ000002"}),
                  [] { return RemoveFromDzhBlock(kDzh, "SH600036") == 1; },
                  [] { return AddToDzhBlock(kDzh, "300750", false) == 1; },
                  {L{"SH600036", "SZ000002"}, L{"SZ000002"}}, 12, DzhList),
        BlockEdit("TDX add", kTdx, "1600036\r\n0000002", [] { return AddToTdxBlock(kTdx, "600000"); },
                  [] { return AddToTdxBlock(kTdx, "300750"); },
                  {L{"1600036", "0000002"}, L{"1600036", "0000002", "1600000"}}, 9, SplitTdxLines),
        BlockEdit("TDX remove", kTdx, "1600036\r\n0000002", [] { return RemoveFromTdxBlock(kTdx, "600036"); },
                  [] { return AddToTdxBlock(kTdx, "300750"); }, {L{"1600036", "0000002"}, L{"0000002"}}, 9,
                  SplitTdxLines),
    };
}

// Runs the operation to its k-th mutating call (0: to its end); gives the
// files as the crash left them.
Files RunTo(const Operation& op, int64_t k) {
    PutAll(op.files);
    const auto state = op.prepare();
    if (k == 0) {
        native::CountMutatingCalls();
        op.run(state.get());
        return AllFiles();
    }
    native::CrashAtMutatingCall(k);
    try {
        op.run(state.get());
    } catch (const native::CrashPoint&) {
        return native::FilesAtCrash();
    }
    native::FilesAtCrash();
    return {};
}

}  // namespace

int main() {
    // The TDX edits tell the terminal's console; not ours.
    std::wcout.rdbuf(nullptr);
    std::wcerr.rdbuf(nullptr);
    ManualClock clock(kT + 5);
    ScopedClock installed(clock);
    bool all = true;
    for (const Operation& op : Operations()) {
        RunTo(op, 0);
        const int64_t n = native::MutatingCalls();
        std::vector<std::string> faults;
        if (n == 0) faults.push_back("the operation changed no file");
        for (int64_t k = 1; k <= n; ++k) {
            const Files crashed = RunTo(op, k);
            std::vector<std::string> here;
            if (crashed.empty()) {
                here.push_back("no crash at call " + std::to_string(k));
            } else {
                PutAll(crashed);
                ResetKeyValueStoreNotices();
                KeyValueStore().Open(kDb, true);  // the next writable open, as a fresh process
                op.check(op.files, crashed, AllFiles(), here);
            }
            for (const auto& f : here) faults.push_back("crash at call " + std::to_string(k) + ": " + f);
        }
        if (faults.empty()) {
            std::printf("crash points: %s %lld, all passed\n", op.name.c_str(), static_cast<long long>(n));
        } else {
            all = false;
            std::printf("crash points: %s %lld, FAILED\n", op.name.c_str(), static_cast<long long>(n));
            for (const auto& f : faults) std::printf("  %s\n", f.c_str());
        }
    }
    return all ? 0 : 1;
}
