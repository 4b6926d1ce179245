// Maps a PE file as an image (no code of it runs): its export names with the
// function each resolves to, and the DLLs it imports.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pintle::test {

struct PeImage {
    bool ok = false;
    std::map<std::string, uint32_t> exports;  // name -> function RVA
    std::vector<std::string> imports;         // DLL names
};

PeImage ReadPeImage(const std::wstring& path);

// A DLL that every Windows has: what the plug-in and the tools may import.
bool IsWindowsSystemDll(std::string name);

}  // namespace pintle::test
