// Several terminal processes on the same files at once: two storing 10,000
// values each in one data.db while a third reads them, and two writing the
// day's log of one directory.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <regex>
#include <set>
#include <thread>

#include "common/text.h"
#include "stress/bounded.h"
#include "support/store_bytes.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

constexpr int kSets = 10000;
constexpr int kReads = 4000;

// Writer w stores value i + 0.5 under code base_w + i, slot 100 (TDX 24).
const int kBase[2] = {600000, 300000};
std::string Code(int w, int i) { return std::to_string(kBase[w] + i); }

TEST(StressProcesses, TwoTerminalsStoreTenThousandValuesEachWhileAThirdReads) {
    Terminal writers;
    Terminal reader;
    const std::wstring store_dir = writers.File(L"TradeSelfData");
    // The reader's store is opened read-only at its start: the file is there.
    CreateDirectoryW(store_dir.c_str(), nullptr);
    WriteFileBytes(store_dir + L"\\data.db", Head(4, 0));
    WriteFileBytes(reader.File(L"Pintle.ini"), "[Settings]\r\npath=" + WideToUtf8(store_dir) + "\r\n");
    std::string scripts[2];
    for (int w = 0; w < 2; ++w) {
        for (int i = 0; i < kSets; ++i) scripts[w] += "tdx 24 --a " + Code(w, i) + " --b 100 --c " + std::to_string(i) + ".5\n";
    }
    // The reader asks for keys of both writers again and again, from the
    // start, while they are written; each answer is 0 (not yet) or right.
    std::string reads;
    for (int k = 0; k < kReads; ++k) {
        const int w = k % 2, i = (k / 2) * 7 % kSets;
        reads += "tdx 25 --a " + Code(w, i) + " --b 100 --c 0\n";
    }
    RunResult runs[3];
    RunBounded(3, std::chrono::seconds(290), [&](int p) {
        runs[p] = p < 2 ? writers.RunScript(scripts[p], 280000) : reader.RunScript(reads, 280000);
    });
    for (int w = 0; w < 2; ++w) {
        EXPECT_EQ(runs[w].exit_code, 0u);
        ASSERT_EQ(runs[w].calls.size(), static_cast<std::size_t>(kSets));
        for (const CallOutput& c : runs[w].calls) ASSERT_EQ(c.values, std::vector<double>{1.0});
    }
    ASSERT_EQ(runs[2].calls.size(), static_cast<std::size_t>(kReads));
    int seen = 0;
    for (int k = 0; k < kReads; ++k) {
        const double want = (k / 2) * 7 % kSets + 0.5;
        const double got = runs[2].calls[k].values.at(0);
        EXPECT_TRUE(got == 0.0 || got == want) << "read " << k << " gave " << got;
        seen += got != 0.0;
    }

    // The file: both writers' keys, each in exactly one record, each record
    // index one key, every value right, the count all of them.
    const std::string bytes = ReadFileBytes(store_dir + L"\\data.db");
    ASSERT_EQ(bytes.size(), 8u + 48u * 2 * kSets);
    EXPECT_EQ(bytes.substr(0, 8), Head(4, 2 * kSets));
    std::map<std::string, double> values;
    for (int r = 0; r < 2 * kSets; ++r) {
        const std::string record = bytes.substr(8 + 48 * r, 48);
        const std::string code = record.substr(0, record.find('\0'));
        double value = 0;
        std::memcpy(&value, record.data() + 32, sizeof value);
        EXPECT_TRUE(values.emplace(code, value).second) << "a second record for " << code;
    }
    for (int w = 0; w < 2; ++w) {
        for (int i = 0; i < kSets; ++i) {
            const auto it = values.find(Code(w, i));
            ASSERT_NE(it, values.end()) << Code(w, i);
            EXPECT_EQ(it->second, i + 0.5) << Code(w, i);
        }
    }
    std::printf("reader saw %d of %d values while they were being written\n", seen, kReads);
}

TEST(StressProcesses, TwoTerminalsInOneDirectoryWriteTheDaysLogAtOnce) {
    constexpr int kLines = 5000;
    Terminal terminal;
    const char* labels[2] = {"SH600000", "SZ000001"};
    std::string scripts[2];
    for (int p = 0; p < 2; ++p) {
        for (int i = 0; i < kLines; ++i) scripts[p] += "call Log --label " + std::string(labels[p]) + " --arg " + std::to_string(i) + "\n";
    }
    RunResult runs[2];
    RunBounded(2, std::chrono::seconds(290), [&](int p) {
        runs[p] = terminal.RunScript(scripts[p], 280000);
    });
    for (const RunResult& run : runs) EXPECT_EQ(run.calls.size(), static_cast<std::size_t>(kLines));

    // Every line whole: a time stamp, a message, CR LF; nothing in between.
    const std::string log = terminal.LogBytes();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    const std::regex whole(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [^\r\n]*)");
    std::multiset<std::string> messages;
    std::size_t start = 0, lines = 0;
    while (start < log.size()) {
        const std::size_t end = log.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = log.substr(start, end - start);
        ASSERT_TRUE(std::regex_match(line, whole)) << "line " << lines << ": " << line;
        messages.insert(line.substr(20));
        start = end + 2;
        ++lines;
    }
    for (int i = 0; i < kLines; ++i) {
        for (const char* code : {"600000", "000001"}) {
            const std::string m = std::string(code) + ":Log=" + std::to_string(i) + ".000";
            ASSERT_EQ(messages.count(m), 1u) << m;
        }
    }
    // Both processes' own lines (load and unload) are there too.
    std::size_t loads = 0, unloads = 0;
    for (const std::string& m : messages) {
        loads += m.rfind("Pintle.dll Version(", 0) == 0;
        unloads += m.rfind("~Pintle.dll Version(", 0) == 0;
    }
    EXPECT_EQ(loads, 2u);
    EXPECT_EQ(unloads, 2u);
}

}  // namespace
}  // namespace pintle::test
