// The release archives as a user downloads them (tools/release/pack.py):
// every file a user needs and nothing else, each stored the one fixed way,
// SHA256SUMS right, the documents as they stand in the tree, and a DLL that
// is stripped, linked to its debug file and needs nothing but Windows.
// `./pintle test` checks the archives of the test build; `./pintle release`
// runs this program on the archives it made (each build compiles in its own
// folders).
#include <gtest/gtest.h>

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "startup/version.h"
#include "support/pe_image.h"
#include "support/temp_dir.h"

namespace pintle::test {
namespace {

uint32_t Crc32(std::string_view data) {
    uint32_t crc = 0xFFFFFFFF;
    for (const char c : data) {
        crc ^= static_cast<uint8_t>(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string Sha256Hex(std::string_view data) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0);
    BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())), static_cast<ULONG>(data.size()), 0);
    BCryptFinishHash(hash, digest, sizeof digest, 0);
    BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(alg, 0);
    std::string hex;
    for (const unsigned char b : digest) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
    }
    return hex;
}

uint32_t U16(std::string_view b, std::size_t at) {
    return at + 2 <= b.size() ? static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 : 0xFFFFFFFF;
}
uint32_t U32(std::string_view b, std::size_t at) {
    return at + 4 <= b.size() ? U16(b, at) | U16(b, at + 2) << 16 : 0xFFFFFFFF;
}

// One entry as both its headers describe it.
struct ZipEntry {
    std::string name;
    std::string data;
    uint32_t made_by = 0, needed = 0, flags = 0, method = 0, time = 0, date = 0, extra = 0, comment = 0;
    uint32_t crc = 0, external = 0;
};

// Reads a zip as an unzip program would, and says where its layout is not
// the one plain form: local headers back to back from byte 0, the central
// directory after them, its end record last, without a comment.
std::vector<ZipEntry> ReadZip(std::string_view zip, std::string* fault) {
    std::vector<ZipEntry> entries;
    const std::size_t end = zip.size() >= 22 ? zip.size() - 22 : 0;
    if (U32(zip, end) != 0x06054B50) return *fault = "no end record in the last 22 bytes", entries;
    const uint32_t count = U16(zip, end + 10), size = U32(zip, end + 12), start = U32(zip, end + 16);
    if (U16(zip, end + 8) != count || start + size != end || U16(zip, end + 20) != 0)
        return *fault = "end record does not describe the central directory", entries;
    std::size_t at = start, next_local = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (U32(zip, at) != 0x02014B50) return *fault = "central header " + std::to_string(i) + " broken", entries;
        ZipEntry e;
        e.made_by = U16(zip, at + 4);
        e.needed = U16(zip, at + 6);
        e.flags = U16(zip, at + 8);
        e.method = U16(zip, at + 10);
        e.time = U16(zip, at + 12);
        e.date = U16(zip, at + 14);
        e.crc = U32(zip, at + 16);
        const uint32_t packed = U32(zip, at + 20), unpacked = U32(zip, at + 24), name_size = U16(zip, at + 28);
        e.extra = U16(zip, at + 30);
        e.comment = U16(zip, at + 32);
        e.external = U32(zip, at + 38);
        const uint32_t local = U32(zip, at + 42);
        e.name = std::string(zip.substr(at + 46, name_size));
        at += 46 + name_size + e.extra + e.comment;
        // The local header must repeat what the central one says.
        const std::string_view head = zip.substr(local, 30);
        if (local != next_local || U32(head, 0) != 0x04034B50 || U16(head, 4) != e.needed || U16(head, 6) != e.flags ||
            U16(head, 8) != e.method || U16(head, 10) != e.time || U16(head, 12) != e.date || U32(head, 14) != e.crc ||
            U32(head, 18) != packed || U32(head, 22) != unpacked || U16(head, 26) != name_size || U16(head, 28) != 0 ||
            zip.substr(local + 30, name_size) != e.name || packed != unpacked)
            return *fault = "local header of " + e.name + " differs from its central header", entries;
        e.data = std::string(zip.substr(local + 30 + name_size, packed));
        next_local = local + 30 + name_size + packed;
        entries.push_back(std::move(e));
    }
    if (next_local != start || at != end) *fault = "bytes between the entries and the central directory";
    return entries;
}

// Section names of a PE file, long ones ("/4") read from its string table.
std::map<std::string, std::string> PeSections(std::string_view pe) {
    std::map<std::string, std::string> sections;
    const uint32_t coff = U32(pe, 0x3C) + 4;
    const uint32_t count = U16(pe, coff + 2), symbols = U32(pe, coff + 8), symbol_count = U32(pe, coff + 12);
    const std::size_t strings = symbols + std::size_t{symbol_count} * 18;
    std::size_t at = coff + 20 + U16(pe, coff + 16);
    for (uint32_t i = 0; i < count && at + 40 <= pe.size(); ++i, at += 40) {
        std::string name(pe.substr(at, 8).data(), strnlen(pe.substr(at, 8).data(), 8));
        if (name.size() > 1 && name[0] == '/') {
            const std::size_t offset = strings + std::stoul(name.substr(1));
            name = offset < pe.size() ? std::string(pe.substr(offset).data(), strnlen(pe.data() + offset, pe.size() - offset))
                                      : "?";
        }
        // The file holds the section rounded up to the file alignment.
        sections[name] = std::string(pe.substr(U32(pe, at + 20), std::min(U32(pe, at + 8), U32(pe, at + 16))));
    }
    return sections;
}

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                             wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

std::wstring SourceFile(const std::string& relative) {
    std::wstring path = std::wstring(PINTLE_SOURCE_DIR_WIN) + L"\\" + Wide(relative);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// Every file under examples/ (names with "/"), but the project's own build
// file of the C example.
void ListExamples(const std::string& folder, std::vector<std::string>* names) {
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW((SourceFile(folder) + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = WideToUtf8(found.cFileName);
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListExamples(folder + "/" + name, names);
        else if (folder + "/" + name != "examples/CMakeLists.txt") names->push_back(folder + "/" + name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

std::string DllVersion(const std::wstring& path) {
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size))
        return "";
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

class ReleaseArchive : public ::testing::Test {
protected:
    void SetUp() override {
        // The archives are named after the version resource of the DLL built beside them.
        const std::wstring dist = std::wstring(PINTLE_DIST_DIR_WIN) + L"\\Pintle-" + Wide(DllVersion(BuildFile(L"Pintle.dll")));
        const std::string zip = ReadFileBytes(dist + L"-win64.zip"), debug_zip = ReadFileBytes(dist + L"-win64-debug.zip");
        ASSERT_FALSE(zip.empty()) << "no archive " << WideToUtf8(dist) << "-win64.zip";
        std::string fault;
        entries_ = ReadZip(zip, &fault);
        ASSERT_EQ(fault, "");
        debug_ = ReadZip(debug_zip, &fault);
        ASSERT_EQ(fault, "") << "in the debug archive";
        for (const ZipEntry& e : entries_) files_[e.name] = &e;
    }
    std::string Data(const std::string& name) const {
        const auto it = files_.find(name);
        return it == files_.end() ? std::string() : it->second->data;
    }
    // The entry written to a fresh folder, for what only Windows can read.
    std::wstring Unpacked(const std::string& name) const {
        const std::wstring path = folder_.File(Wide(name.substr(name.rfind('/') + 1)));
        WriteFileBytes(path, Data(name));
        return path;
    }

    std::vector<ZipEntry> entries_, debug_;
    std::map<std::string, const ZipEntry*> files_;
    TempDir folder_{L"archive"};
};

TEST_F(ReleaseArchive, HoldsEveryFileAUserNeedsSortedByTheBytesOfTheirNames) {
    std::vector<std::string> expected = {
        "CHANGELOG.md",    "Pintle.dll",         "Pintle.lib",         "SHA256SUMS",
        "docs/formats.md", "docs/functions.md",  "docs/kovalt.md",     "docs/reliability.md",
        "libPintle.dll.a", "pintle.h",           "tools/Kovalt.exe",   "tools/pintle-call.exe",
        "tools/pintle-inspect.exe", "使用说明.md"};
    ListExamples("examples", &expected);
    std::sort(expected.begin(), expected.end());  // std::string compares bytes as unsigned
    std::vector<std::string> names;
    for (const ZipEntry& e : entries_) names.push_back(e.name);
    EXPECT_EQ(names, expected);
    ASSERT_EQ(debug_.size(), 1u);
    EXPECT_EQ(debug_[0].name, "Pintle.dll.debug");
}

// What makes two builds of a commit give the same bytes, and Chinese
// Windows show 使用说明.md by its name: stored, the UTF-8 name flag, mode
// 0644 from a Unix maker, one time for all, no extra fields or comments.
TEST_F(ReleaseArchive, StoresEveryEntryTheOneFixedWay) {
    std::vector<ZipEntry> all = entries_;
    all.insert(all.end(), debug_.begin(), debug_.end());
    for (const ZipEntry& e : all) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.method, 0u);
        EXPECT_EQ(e.flags, 0x0800u);
        EXPECT_EQ(e.made_by, (3u << 8) | 20u);
        EXPECT_EQ(e.needed, 20u);
        EXPECT_EQ(e.external, 0100644u << 16);
        EXPECT_EQ(e.extra, 0u);
        EXPECT_EQ(e.comment, 0u);
        EXPECT_EQ(e.crc, Crc32(e.data));
        EXPECT_EQ(e.time, all[0].time);
        EXPECT_EQ(e.date, all[0].date);
    }
}

TEST_F(ReleaseArchive, Sha256SumsListsEveryOtherEntryInOrder) {
    std::string sums;
    for (const ZipEntry& e : entries_) {
        if (e.name != "SHA256SUMS") sums += Sha256Hex(e.data) + "  " + e.name + "\n";
    }
    EXPECT_EQ(Data("SHA256SUMS"), sums);
}

TEST_F(ReleaseArchive, DocumentsHeaderAndExamplesAreTheTreesByteForByte) {
    std::map<std::string, std::string> from_tree = {{"pintle.h", "include/pintle.h"},
                                                    {"使用说明.md", "docs/zh/使用说明.md"},
                                                    {"CHANGELOG.md", "CHANGELOG.md"}};
    for (const ZipEntry& e : entries_) {
        if (e.name.rfind("docs/", 0) == 0 || e.name.rfind("examples/", 0) == 0) from_tree[e.name] = e.name;
    }
    for (const auto& [name, relative] : from_tree) {
        const std::string tree = ReadFileBytes(SourceFile(relative));
        EXPECT_FALSE(tree.empty()) << relative;
        EXPECT_TRUE(Data(name) == tree) << name << " differs from " << relative;
    }
    EXPECT_TRUE(Data("Pintle.lib") == ReadFileBytes(BuildFile(L"Pintle.lib")));
    EXPECT_TRUE(Data("libPintle.dll.a") == ReadFileBytes(BuildFile(L"libPintle.dll.a")));
}

TEST_F(ReleaseArchive, TheDllIsTheBuiltOneStrippedLinkedToItsDebugFileAndNeedingOnlyWindows) {
    const std::string dll = Data("Pintle.dll");
    EXPECT_GT(dll.size(), 100000u);
    EXPECT_LT(dll.size(), 3000000u);
    const auto sections = PeSections(dll);
    for (const auto& [name, data] : sections) EXPECT_NE(name.rfind(".debug", 0), 0u) << "still has " << name;
    // The debug link: the file's name, zero bytes to a multiple of 4, its CRC-32.
    ASSERT_EQ(debug_.size(), 1u);
    std::string link = "Pintle.dll.debug";
    link.append(4 - link.size() % 4, '\0');
    for (int k = 0; k < 4; ++k) link += static_cast<char>(Crc32(debug_[0].data) >> (8 * k));
    EXPECT_TRUE(sections.count(".gnu_debuglink") && sections.at(".gnu_debuglink") == link);
    EXPECT_TRUE(PeSections(debug_[0].data).count(".debug_info"));

    const PeImage unpacked = ReadPeImage(Unpacked("Pintle.dll")), built = ReadPeImage(BuildFile(L"Pintle.dll"));
    ASSERT_TRUE(unpacked.ok && built.ok);
    EXPECT_EQ(unpacked.exports, built.exports);
    for (const std::string& name : unpacked.imports) EXPECT_TRUE(IsWindowsSystemDll(name)) << "imports " << name;
    EXPECT_EQ(DllVersion(Unpacked("Pintle.dll")), PINTLE_VERSION_TEXT);
    for (const char* tool : {"tools/Kovalt.exe", "tools/pintle-call.exe", "tools/pintle-inspect.exe"}) {
        const PeImage exe = ReadPeImage(Unpacked(tool));
        EXPECT_TRUE(exe.ok) << tool;
        for (const std::string& name : exe.imports) EXPECT_TRUE(IsWindowsSystemDll(name)) << tool << " imports " << name;
    }
}

}  // namespace
}  // namespace pintle::test
