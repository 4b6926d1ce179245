// Writes the store cannot make safely are refused with a line: the files on
// a disk that fails to read part of them. Native only (the in-memory files).
#include <gtest/gtest.h>

#include "common/clock.h"
#include "memory_files.h"
#include "store/key_value_store.h"
#include "support/store_bytes.h"

namespace pintle::test {
namespace {

const std::wstring kDb = L"C:\\s\\data.db";
const std::wstring kHistory = L"C:\\s\\data\\0\\600000\\0\\3\\10001.dat";
constexpr uint32_t kT = 1772674200;

TEST(StoreReadFaults, AWriteThatCannotReadWhatTheFileHoldsIsRefusedWithALine) {
    ManualClock clock(kT);
    ScopedClock installed(clock);
    native::RemoveAllFiles();
    const std::string db = Head(4, 1) + Rec48("600000", 0, 0, 100, 0, 1, kT);
    const std::string history = Head(2, 1) + Entry(kT - 60, 7);
    native::PutFile(kDb, db);
    native::PutFile(kHistory, history);
    KeyValueStore store, other;
    store.Open(kDb, true);
    other.Open(kDb, true);
    native::CaptureLog(true);

    // Another writer appended a record this one cannot read: a new key
    // written now could take that record's place.
    other.WriteValue("000001", 0, 0, 100, 2, 0, kT);
    const std::string appended = *native::FileBytes(kDb);
    native::SetUnreadableFrom(kDb, 8 + 48);
    store.WriteValue("300750", 0, 0, 100, 3, 0, kT);
    EXPECT_EQ(*native::FileBytes(kDb), appended);
    native::SetUnreadableFrom(kDb, -1);

    // The last history entry cannot be read: its bucket is unknown.
    native::SetUnreadableFrom(kHistory, 8);
    store.WriteValue("600000", 0, 0, 10001, 5, 3, kT);
    EXPECT_EQ(*native::FileBytes(kHistory), history);

    EXPECT_EQ(native::TakeLogLines(), (std::vector<std::string>{
                                          "写入数据失败,本次数值未保存 C:\\s\\data.db 错误码=30",
                                          "写入历史数据失败,本次数值未保存 C:\\s\\data\\0\\600000\\0\\3\\10001.dat 错误码=30",
                                      }));
    native::CaptureLog(false);
}

}  // namespace
}  // namespace pintle::test
