#include "cases.h"

#include <emmintrin.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "common/win.h"
#include "formats/command_record.h"
#include "formats/history_file.h"
#include "support/formula_builder.h"

namespace bench {

using pintle::CommandRecord;
using pintle::test::FormulaBuilder;

std::string MarketCode(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06d", i < 2500 ? 600000 + i : 1 + (i - 2500));
    return buf;
}

std::string MarketLabel(int i) { return (i < 2500 ? "SH" : "SZ") + MarketCode(i); }

// Line k of the result file: every even line a market code, every odd line
// a code outside the market.
std::string ResultLine(int k) {
    if (k % 2 == 0) return MarketCode(k);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06d", 300000 + k);
    return buf;
}

std::string ResultHitCode() { return ResultLine(kResultLines - 1); }
std::string OrderCode() { return MarketCode(5); }

namespace {

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
    pintle::UniqueHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD put = 0;
    return f && WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
           put == bytes.size();
}

}  // namespace

bool WriteAssistantFiles(const std::wstring& assistant_dir, std::wstring* error) {
    std::string state;
    for (int i = 0; i < kPositions; ++i) state += "position " + MarketCode(i) + " v0=100 v1=100 v2=10.5 v3=10.8\n";
    const long long now = static_cast<long long>(std::time(nullptr));
    for (int i = 0; i < kOrders; ++i) {
        state += "order " + MarketCode(i % 15) + " kind=" + std::to_string(i % 2) + " qty=" +
                 std::to_string(100 * (1 + i % 5)) + " filled=" + std::to_string(i % 3 == 0 ? 50 : 0) +
                 " time=" + std::to_string(now - 60) + "\n";
    }
    std::string result;
    for (int k = 0; k < kResultLines; ++k) result += ResultLine(k) + "\tbench\r\n";
    CreateDirectoryW((assistant_dir + L"WenCai").c_str(), nullptr);
    if (!WriteWhole(assistant_dir + L"state.txt", state) ||
        !WriteWhole(assistant_dir + L"WenCai\\" + std::to_wstring(kWenCaiQuery) + L".txt", result)) {
        *error = L"cannot write the assistant's files in " + assistant_dir;
        return false;
    }
    return true;
}

FormulaFn Context::Export(const char* name) const {
    auto fn = reinterpret_cast<FormulaFn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    if (fn == nullptr) std::fprintf(stderr, "Pintle.dll exports no %s\n", name);
    return fn;
}

TdxFn Context::Tdx(int number) const {
#pragma pack(push, 1)
    struct Entry {
        uint16_t number;
        TdxFn function;
    };
#pragma pack(pop)
    using RegisterFn = int32_t (*)(void**);
    auto reg = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(dll, "RegisterTdxFunc")));
    void* table = nullptr;
    if (reg == nullptr || reg(&table) == 0) return nullptr;
    for (auto* e = static_cast<const Entry*>(table); e->number != 0; ++e) {
        if (e->number == number) return e->function;
    }
    return nullptr;
}

namespace {

// ------------------------------------------------------------- floors

// A file written the way the log is: appended, shared with other writers.
class FloorFile {
public:
    FloorFile(const std::wstring& path, DWORD access, DWORD disposition)
        : h_(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    HANDLE get() const { return h_.get(); }
    // The log appends one line at a time across processes: the byte-range
    // lock far past the end, the write, the unlock (without the lock, two
    // terminals writing one day's file under Wine lose lines).
    void Append(const std::string& bytes) const {
        OVERLAPPED at{};
        at.OffsetHigh = 0x40000000u;
        LockFileEx(h_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
        DWORD put = 0;
        WriteFile(h_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
        UnlockFileEx(h_.get(), 0, 1, 0, &at);
    }
    void WriteAt(uint64_t offset, const void* data, DWORD size) const {
        OVERLAPPED o{};
        o.Offset = static_cast<DWORD>(offset);
        DWORD put = 0;
        WriteFile(h_.get(), data, size, &put, &o);
    }
    void ReadAt(uint64_t offset, void* data, DWORD size) const {
        OVERLAPPED o{};
        o.Offset = static_cast<DWORD>(offset);
        DWORD got = 0;
        ReadFile(h_.get(), data, size, &got, &o);
    }

private:
    pintle::UniqueHandle h_;
};

// A log line as the plug-in writes it: local time, the text as UTF-8, CR LF.
std::string LogLine(const wchar_t* text) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", std::localtime(&now));
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
    return stamp + utf8 + "\r\n";
}

void Send(HWND to, HWND terminal, CommandRecord& rec) {
    COPYDATASTRUCT cds{pintle::kKindOrder, sizeof rec, &rec};
    SendMessageW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(terminal), reinterpret_cast<LPARAM>(&cds));
}

// The fastest plain fill of a float array this machine has: 16 floats a step.
void VectorFill(float* out, int n, float v) {
    const __m128 x = _mm_set1_ps(v);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        _mm_storeu_ps(out + i, x);
        _mm_storeu_ps(out + i + 4, x);
        _mm_storeu_ps(out + i + 8, x);
        _mm_storeu_ps(out + i + 12, x);
    }
    for (; i < n; ++i) out[i] = v;
}

void Hold(HANDLE mutex) { WaitForSingleObject(mutex, INFINITE); }

// A history file of the store, with the directories of its path below `base`.
void WriteHistoryFile(const std::wstring& base, const std::wstring& dir, const std::wstring& file,
                      const std::string& bytes) {
    for (std::size_t pos = dir.find(L'\\', base.size()); pos != std::wstring::npos; pos = dir.find(L'\\', pos + 1))
        CreateDirectoryW(dir.substr(0, pos).c_str(), nullptr);
    const FloorFile init(file, GENERIC_WRITE, CREATE_ALWAYS);
    init.WriteAt(0, bytes.data(), static_cast<DWORD>(bytes.size()));
}

// The floor of a TDX 34: the store mutex, and a history file's header and
// entries read.
void ReadHistoryFloor(HANDLE store_mutex, const std::wstring& file, std::vector<char>& entries) {
    Hold(store_mutex);
    const FloorFile h(file, GENERIC_READ, OPEN_EXISTING);
    unsigned char header[8];
    h.ReadAt(0, header, sizeof header);
    h.ReadAt(8, entries.data(), static_cast<DWORD>(entries.size()));
    ReleaseMutex(store_mutex);
}

bool SameCode(const char16_t (&field)[10], const std::u16string& code) {
    for (std::size_t i = 0; i < 10; ++i) {
        const char16_t want = i < code.size() ? code[i] : 0;
        if (field[i] != want) return false;
        if (want == 0) return true;
    }
    return true;
}

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The position scan the rule needs: the first record of the code.
float ScanPositions(const pintle::SharedStateBlock& block, const std::u16string& code) {
    const int32_t n = block.position_count;
    for (int32_t i = 0; i < n && i < pintle::kPositionCapacity; ++i) {
        if (SameCode(block.positions[i].code, code)) return block.positions[i].value2_to_9[0];
    }
    return 0.0f;
}

volatile float g_sink;  // keeps the floors' results alive

// UTC seconds of local midnight `days_ago` days before today.
int64_t LocalMidnightUtc(int days_ago) {
    FILETIME now_ft;
    GetSystemTimeAsFileTime(&now_ft);
    SYSTEMTIME utc, local;
    FileTimeToSystemTime(&now_ft, &utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    local.wHour = local.wMinute = local.wSecond = local.wMilliseconds = 0;
    FILETIME local_ft;
    SystemTimeToFileTime(&local, &local_ft);
    ULARGE_INTEGER t{{local_ft.dwLowDateTime, local_ft.dwHighDateTime}};
    t.QuadPart -= static_cast<ULONGLONG>(days_ago) * 864000000000ULL;
    local_ft = {t.LowPart, t.HighPart};
    FileTimeToSystemTime(&local_ft, &local);
    TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
    SystemTimeToFileTime(&utc, &local_ft);
    const ULARGE_INTEGER u{{local_ft.dwLowDateTime, local_ft.dwHighDateTime}};
    return static_cast<int64_t>(u.QuadPart / 10000000ULL) - 11644473600LL;
}

// The TDX date number of a time's local date: (year - 1900) * 10000 + month * 100 + day.
int32_t DateNumberOf(int64_t utc_seconds) {
    const ULONGLONG t = (static_cast<ULONGLONG>(utc_seconds) + 11644473600ULL) * 10000000ULL;
    const FILETIME ft{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
    SYSTEMTIME utc, local;
    FileTimeToSystemTime(&ft, &utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    return (local.wYear - 1900) * 10000 + local.wMonth * 100 + local.wDay;
}

CommandRecord OrderRecord() {
    CommandRecord rec{};
    rec.id = pintle::kCommandRecordId;
    std::strcpy(rec.code, "600000");
    rec.quantity = 100;
    rec.price = 10.5f;
    rec.formula = 3;
    rec.selector_index = -1;
    return rec;
}

// ------------------------------------------------------------- cases

}  // namespace

std::vector<Row> RunCases(Context& ctx, const Options& options) {
    const FormulaFn BUY = ctx.Export("BUY"), Buy1 = ctx.Export("Buy1"), SendQuote = ctx.Export("SendQuote"),
                    Get = ctx.Export("Get"), Set = ctx.Export("Set"), PosInfo = ctx.Export("PosInfo"),
                    OrderInfo = ctx.Export("OrderInfo"), WenCai = ctx.Export("WenCai");
    const TdxFn tdx1 = ctx.Tdx(1);
    const FloorFile log(ctx.dir + L"bench-floor.log", GENERIC_READ | FILE_APPEND_DATA, OPEN_ALWAYS);
    const std::string order_line = LogLine(L"接收到 公式3 买入 600000 10.5000元 量*条件=100股 ");
    const std::string quote_line = LogLine(L"SH600000 0 10.50");
    std::vector<Case> cases;

    // ---- BUY on the last bar: two sends (main window, extra receiver) and the order line.
    FormulaBuilder buy;
    buy.Arg(10.5).Arg(100).Arg(3).Arg(0);
    CommandRecord rec = OrderRecord();
    auto send_floor = [&] {
        Send(ctx.main_window, ctx.terminal, rec);
        Send(ctx.extra_window, ctx.terminal, rec);
        log.Append(order_line);
    };
    cases.push_back({"buy_last_bar", "BUY, last bar, 1 extra receiver", 2000, 1, [&] { BUY(buy.get()); }, send_floor});

    // ---- BUY bar by bar on an earlier bar: the gate stops it.
    FormulaBuilder early;
    early.Arg(10.5).Arg(100).Arg(3).Arg(0).SetBarByBar(1, 0);
    auto early_path = [&] { BUY(early.get()); };
    auto empty_export = [&] { Buy1(early.get()); };
    cases.push_back({"buy_earlier_bar", "BUY, bar by bar, earlier bar", 2000, 1000, early_path, empty_export});
    std::atomic<bool> stop_sender{false};
    std::thread sender;
    Case contended{"buy_earlier_bar_contended", "  ... while another thread sends orders", 4000, 1, early_path,
                   empty_export};
    contended.show_max = true;
    std::atomic<int> sent{0};
    contended.setup = [&] {
        stop_sender = false;
        sender = std::thread([&] {
            FormulaBuilder other;
            other.Arg(10.5).Arg(100).Arg(3).Arg(0);
            while (!stop_sender.load()) {
                BUY(other.get());
                ++sent;
            }
        });
        while (sent.load() < 10) Sleep(1);
    };
    // Spread over many of the other thread's sends, at every phase of them.
    contended.before = [] {
        const double until = NowUs() + 50;
        while (NowUs() < until) {
        }
    };
    contended.teardown = [&] {
        stop_sender = true;
        sender.join();
        std::fprintf(stderr, "  the other thread sent %d orders\n", sent.load());
    };
    cases.push_back(contended);

    // ---- SendQuote field 0: one log line, the batch updated in memory.
    FormulaBuilder quote, flush, fill;
    quote.Arg(10.5).Arg(0).Arg(0);
    flush.Arg(10.5).Arg(4).Arg(0);
    fill.Arg(10.5).Arg(0).Arg(0);
    auto quote_floor = [&] { log.Append(quote_line); };
    Case empty_batch{"sendquote_field0_empty", "SendQuote field 0, empty batch", 2000, 1,
                     [&] { SendQuote(quote.get()); }, quote_floor};
    empty_batch.before = [&] { SendQuote(flush.get()); };  // field 4 sends and empties the batch
    empty_batch.teardown = empty_batch.before;
    cases.push_back(empty_batch);
    Case full_batch{"sendquote_field0_900", "SendQuote field 0, 900 labels in the batch", 1000, 10,
                    [&] { SendQuote(fill.get()); }, quote_floor};
    full_batch.setup = [&] {
        for (int i = 0; i < 900; ++i) {
            fill.SetLabel(MarketLabel(i).c_str());
            SendQuote(fill.get());
        }  // the last label stays in `fill`: the end of a linear search
    };
    full_batch.teardown = empty_batch.before;
    cases.push_back(full_batch);

    // ---- TDX 1 on 10,000-float arrays.
    constexpr int kCount = 10000;
    std::vector<float> a(kCount, 600000.0f), b(kCount, 3.0f), c(kCount, 100.0f), zero(kCount, 0.0f);
    std::vector<float> out(kCount), floor_out(kCount);
    cases.push_back({"tdx1_sent", "TDX 1, 10000 floats, sent", 2000, 1,
                     [&] { tdx1(kCount, out.data(), a.data(), b.data(), c.data()); },
                     [&] {
                         send_floor();
                         VectorFill(floor_out.data(), kCount, 1.0f);
                     }});
    cases.push_back({"tdx1_dropped", "TDX 1, 10000 floats, dropped (quantity 0)", 2000, 10,
                     [&] { tdx1(kCount, out.data(), a.data(), b.data(), zero.data()); },
                     [&] { VectorFill(floor_out.data(), kCount, 0.0f); }});

    // ---- Get and Set.
    FormulaBuilder set_own, get_own, get_assistant(3, "SH600001"), set_history;
    set_own.Arg(1.5).Arg(100).Arg(0).Arg(0);
    get_own.Arg(100).Arg(0).Arg(0).Arg(0);
    get_assistant.Arg(30).Arg(0).Arg(0).Arg(0);
    set_history.Arg(2.5).Arg(10001).Arg(0).Arg(0).SetPeriod(9);
    Set(set_own.get());
    auto mutex_floor = [&] {
        Hold(ctx.store_mutex);
        ReleaseMutex(ctx.store_mutex);
    };
    cases.push_back({"get_own_slot", "Get, own ordinary slot (writable store)", 2000, 10,
                     [&] { Get(get_own.get()); }, mutex_floor});
    const FloorFile assistant_db(ctx.assistant_dir + L"TradeSelfData\\data.db", GENERIC_READ, OPEN_EXISTING);
    unsigned char record[48] = {};
    cases.push_back({"get_assistant_slot", "Get, assistant slot (read-only store, hit)", 2000, 10,
                     [&] { Get(get_assistant.get()); },
                     [&] {
                         Hold(ctx.store_mutex);
                         assistant_db.ReadAt(8, record, sizeof record);
                         ReleaseMutex(ctx.store_mutex);
                     }});

    // The floors write into files of their own, laid out like the store's.
    const std::wstring floor_db = ctx.dir + L"bench-floor.db", floor_history = ctx.dir + L"bench-floor.dat";
    {
        const FloorFile init_db(floor_db, GENERIC_WRITE, CREATE_ALWAYS);
        const int32_t header[2] = {4, 1};
        init_db.WriteAt(0, header, sizeof header);
        init_db.WriteAt(8, record, sizeof record);
        const FloorFile init_history(floor_history, GENERIC_WRITE, CREATE_ALWAYS);
        const int32_t history_header[2] = {2, 1};
        init_history.WriteAt(0, history_header, sizeof history_header);
        init_history.WriteAt(8, record, 16);
    }
    const FloorFile db(floor_db, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    // An update in place reads the record first and checks its key: another
    // file may have taken data.db's place since it was loaded.
    auto record_write = [&] {
        unsigned char before[sizeof record];
        db.ReadAt(8, before, sizeof before);
        db.WriteAt(8, record, sizeof record);
        HANDLE h = CreateFileW(floor_db.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        SetFileTime(h, nullptr, nullptr, &now);
        CloseHandle(h);
    };
    cases.push_back({"set_ordinary", "Set, ordinary slot", 2000, 1, [&] { Set(set_own.get()); },
                     [&] {
                         Hold(ctx.store_mutex);
                         record_write();
                         ReleaseMutex(ctx.store_mutex);
                     }});
    cases.push_back({"set_history", "Set, history slot", 2000, 1, [&] { Set(set_history.get()); },
                     [&] {
                         Hold(ctx.store_mutex);
                         record_write();
                         const FloorFile h(floor_history, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
                         unsigned char header[8], entry[16];
                         h.ReadAt(0, header, sizeof header);
                         h.ReadAt(8, entry, sizeof entry);
                         h.WriteAt(8, entry, sizeof entry);
                         ReleaseMutex(ctx.store_mutex);
                     }});

    // ---- State queries.
    FormulaBuilder pos(3, MarketLabel(kPositions - 1).c_str());
    pos.Arg(2).Arg(0).Arg(0);
    const std::u16string pos_code = Wide(MarketCode(kPositions - 1));
    cases.push_back({"posinfo_1000", "PosInfo, 1000 positions (last one)", 2000, 10, [&] { PosInfo(pos.get()); },
                     [&] {
                         Hold(ctx.block_mutex);
                         g_sink = ScanPositions(*ctx.block, pos_code);
                         ReleaseMutex(ctx.block_mutex);
                     }});
    FormulaBuilder orders(3, ("SH" + OrderCode()).c_str());
    orders.Arg(0).Arg(0).Arg(0).Arg(0);
    const std::u16string order_code = Wide(OrderCode());
    cases.push_back({"orderinfo_43", "OrderInfo, 43 orders", 2000, 10, [&] { OrderInfo(orders.get()); },
                     [&] {
                         Hold(ctx.block_mutex);
                         int32_t outstanding = 0;
                         const int32_t n = ctx.block->order_count;
                         for (int32_t i = 0; i < n && i < pintle::kOrderCapacity; ++i) {
                             const auto& r = ctx.block->orders[i];
                             if (r.trade_kind == 0 && SameCode(r.code, order_code))
                                 outstanding += r.quantity - r.filled;
                         }
                         g_sink = static_cast<float>(outstanding);
                         ReleaseMutex(ctx.block_mutex);
                     }});

    // ---- WenCai: one existence check of the result file (whether the
    // assistant still has a window is looked at every 5 s, not per call).
    const std::wstring result_file = ctx.assistant_dir + L"WenCai\\" + std::to_wstring(kWenCaiQuery) + L".txt";
    auto exists_floor = [&] { g_sink = static_cast<float>(PathFileExistsW(result_file.c_str())); };
    FormulaBuilder hit(3, ("SZ" + ResultHitCode()).c_str()), miss(3, "SH688999");
    hit.Arg(kWenCaiQuery).Arg(0);
    miss.Arg(kWenCaiQuery).Arg(0);
    cases.push_back({"wencai_hit", "WenCai, 5000-line result, hit (last line)", 2000, 10, [&] { WenCai(hit.get()); },
                     exists_floor});
    cases.push_back({"wencai_miss", "WenCai, 5000-line result, miss", 2000, 10, [&] { WenCai(miss.get()); },
                     exists_floor});

    // ---- TDX 34: a day chart of 1000 bars over a 2000-entry history of slot
    // 10001 (code number 5600000: period digit 5, the day period).
    const TdxFn tdx34 = ctx.Tdx(34);
    constexpr int kBars = 1000, kEntries = 2000;
    const std::wstring history_dir = ctx.dir + L"TradeSelfData\\data\\0\\600000\\0\\8\\";
    const std::wstring history_file = history_dir + L"10001.dat";
    std::vector<float> h_code(kBars, 5600000.0f), h_slot(kBars, 10001.0f), h_dates(kBars), h_out(kBars);
    {
        std::string bytes(sizeof(pintle::HistoryHeader) + kEntries * sizeof(pintle::HistoryEntry), '\0');
        const pintle::HistoryHeader header{pintle::kHistoryFormat, kEntries};
        std::memcpy(bytes.data(), &header, sizeof header);
        for (int k = 0; k < kEntries; ++k) {
            const int64_t midnight = LocalMidnightUtc(kEntries - 1 - k);
            const pintle::HistoryEntry e{static_cast<uint32_t>(midnight), 0, 10.0 + k * 0.01};
            std::memcpy(bytes.data() + pintle::HistoryEntryOffset(k), &e, sizeof e);
            if (k >= kEntries - kBars) h_dates[k - (kEntries - kBars)] = static_cast<float>(DateNumberOf(midnight));
        }
        WriteHistoryFile(ctx.dir, history_dir, history_file, bytes);
    }
    std::vector<char> history_bytes(kEntries * sizeof(pintle::HistoryEntry));
    cases.push_back({"tdx34_1000_bars", "TDX 34, 1000 day bars, 2000-entry history", 500, 1,
                     [&] { tdx34(kBars, h_out.data(), h_code.data(), h_slot.data(), h_dates.data()); },
                     [&] { ReadHistoryFloor(ctx.store_mutex, history_file, history_bytes); }});

    // ---- TDX 34 on a price slot of the assistant's store (86: adjusted for
    // dividends), the same 1000 day bars over a 40,000-entry history (two
    // entries a day, 55 years back), with the records of a full 4 MiB page
    // of short dividend rows, one ex-date a day: the first call fetches and
    // parses the page (untimed, printed), every later one adjusts all
    // 40,000 prices with the records the code kept.
    constexpr int kPriceEntries = 40000;
    const std::wstring price_dir = ctx.assistant_dir + L"TradeSelfData\\data\\0\\600000\\0\\8\\";
    const std::wstring price_file = price_dir + L"86.dat";
    std::vector<float> p_slot(kBars, 86.0f);
    std::vector<char> price_bytes(kPriceEntries * sizeof(pintle::HistoryEntry));
    if (ctx.has_site) {
        std::string bytes(sizeof(pintle::HistoryHeader) + price_bytes.size(), '\0');
        const pintle::HistoryHeader header{pintle::kHistoryFormat, kPriceEntries};
        std::memcpy(bytes.data(), &header, sizeof header);
        const int64_t last = LocalMidnightUtc(0) + 15 * 3600;
        for (int k = 0; k < kPriceEntries; ++k) {
            const int64_t time = last - static_cast<int64_t>(kPriceEntries - 1 - k) * 43200;
            const pintle::HistoryEntry e{static_cast<uint32_t>(time), 0, 10.0 + (k % 500) * 0.01};
            std::memcpy(bytes.data() + pintle::HistoryEntryOffset(k), &e, sizeof e);
        }
        WriteHistoryFile(ctx.assistant_dir, price_dir, price_file, bytes);

        Case adjusted{"tdx34_adjusted_40000", "TDX 34 adjusted, 40000-entry history, full page", 20, 1,
                      [&] { tdx34(kBars, h_out.data(), h_code.data(), p_slot.data(), h_dates.data()); },
                      [&] { ReadHistoryFloor(ctx.store_mutex, price_file, price_bytes); }};
        adjusted.setup = [&] {
            const double start = NowUs();
            tdx34(kBars, h_out.data(), h_code.data(), p_slot.data(), h_dates.data());
            std::fprintf(stderr, "  first call, with the fetch and parse of the page: %.1f ms\n",
                         (NowUs() - start) / 1000);
        };
        cases.push_back(adjusted);
    }

    // ---- A full-market screen: Get, PosInfo and WenCai for every code.
    std::vector<std::string> labels;
    std::vector<std::u16string> codes;
    for (int i = 0; i < kMarketCodes; ++i) {
        labels.push_back(MarketLabel(i));
        codes.push_back(Wide(MarketCode(i)));
    }
    FormulaBuilder s_get, s_pos, s_wencai;
    s_get.Arg(100).Arg(0).Arg(0).Arg(0);
    s_pos.Arg(2).Arg(0).Arg(0);
    s_wencai.Arg(kWenCaiQuery).Arg(0);
    // One code's three calls against its floor, code after code: both sides
    // see the same load, and every pass over the market adds up to a screen.
    std::size_t code = 0;
    Case screen{"screen_per_code", "Screen, 5000 x (Get+PosInfo+WenCai), per code", kScreenPasses * kMarketCodes, 1,
                [&] {
                    const char* label = labels[code].c_str();
                    Get(s_get.SetLabel(label).get());
                    PosInfo(s_pos.SetLabel(label).get());
                    WenCai(s_wencai.SetLabel(label).get());
                },
                [&] {
                    mutex_floor();
                    Hold(ctx.block_mutex);
                    g_sink = ScanPositions(*ctx.block, codes[code]);
                    ReleaseMutex(ctx.block_mutex);
                    exists_floor();
                }};
    screen.before = [&] { code = (code + 1) % labels.size(); };
    cases.push_back(screen);

    std::vector<Row> rows;
    for (Case& k : cases) {
        if (!options.only.empty() && k.name.find(options.only) == std::string::npos) continue;
        std::fprintf(stderr, "measuring %s\n", k.name.c_str());
        if (k.setup) k.setup();
        if (options.repeat > 0) {
            // For counting system calls: the path (or floor) alone, after a
            // pause in which a tracer can attach to this process only (a
            // traced assistant could not have its module name read).
            Sleep(3000);
            for (int i = 0; i < options.repeat; ++i) {
                if (k.before) k.before();
                (options.floor ? k.floor : k.path)();
            }
        } else {
            rows.push_back({k.name, k.title, MeasurePairs(k.samples, k.batch, k.path, k.floor, k.before), k.show_max});
        }
        if (k.teardown) k.teardown();
        if (k.name == "screen_per_code" && !rows.empty()) {
            // Each run of kMarketCodes samples is one whole screen.
            PairResult whole;
            const PairResult& each = rows.back().result;
            for (std::size_t first = 0; first + kMarketCodes <= each.path_us.size(); first += kMarketCodes) {
                double path = 0, floor = 0;
                for (std::size_t i = first; i < first + kMarketCodes; ++i) {
                    path += each.path_us[i];
                    floor += each.floor_us[i];
                }
                whole.path_us.push_back(path);
                whole.floor_us.push_back(floor);
            }
            whole.path = StatsOf(whole.path_us);
            whole.floor = StatsOf(whole.floor_us);
            rows.push_back({"screen_total", "  ... the whole screen", whole});
        }
    }
    return rows;
}

}  // namespace bench
