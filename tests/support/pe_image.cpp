#include "support/pe_image.h"

#include <windows.h>

#include <algorithm>
#include <set>

namespace pintle::test {

bool IsWindowsSystemDll(std::string name) {
    static const std::set<std::string> system = {"kernel32.dll", "user32.dll", "advapi32.dll", "shlwapi.dll",
                                                 "psapi.dll",    "ws2_32.dll",  "msvcrt.dll",  "shell32.dll"};
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return system.count(name) != 0 || name.rfind("api-ms-win-", 0) == 0;
}

PeImage ReadPeImage(const std::wstring& path) {
    PeImage image;
    // Mapped as an image, not loaded: sections at their RVAs, no code run.
    const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return image;
    const char* base = reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(module) & ~uintptr_t{3});
    auto at = [&](uint32_t rva) { return base + rva; };
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(at(dos->e_lfanew));
    if (dos->e_magic == IMAGE_DOS_SIGNATURE && nt->Signature == IMAGE_NT_SIGNATURE &&
        nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        const auto& dirs = nt->OptionalHeader.DataDirectory;
        if (dirs[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress != 0) {  // a program has none
            const auto* ex = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(at(dirs[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress));
            const auto* names = reinterpret_cast<const uint32_t*>(at(ex->AddressOfNames));
            const auto* ordinals = reinterpret_cast<const uint16_t*>(at(ex->AddressOfNameOrdinals));
            const auto* functions = reinterpret_cast<const uint32_t*>(at(ex->AddressOfFunctions));
            for (DWORD i = 0; i < ex->NumberOfNames; ++i) image.exports[at(names[i])] = functions[ordinals[i]];
        }
        for (auto* imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress));
             imp->Name != 0; ++imp)
            image.imports.push_back(at(imp->Name));
        image.ok = true;
    }
    FreeLibrary(module);
    return image;
}

}  // namespace pintle::test
