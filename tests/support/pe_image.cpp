#include "support/pe_image.h"

#include <windows.h>

#include <cstring>

#include "support/temp_dir.h"

namespace pintle::test {
namespace {

struct Reader {
    const std::string& bytes;
    const IMAGE_SECTION_HEADER* sections = nullptr;
    int section_count = 0;

    template <class T>
    const T* At(std::size_t offset) const {
        return offset + sizeof(T) <= bytes.size() ? reinterpret_cast<const T*>(bytes.data() + offset) : nullptr;
    }
    std::size_t FromRva(uint32_t rva) const {
        for (int i = 0; i < section_count; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return bytes.size();
    }
    std::string String(uint32_t rva) const {
        const std::size_t off = FromRva(rva);
        if (off >= bytes.size()) return {};
        return std::string(bytes.c_str() + off, strnlen(bytes.c_str() + off, bytes.size() - off));
    }
};

}  // namespace

PeImage ReadPeImage(const std::wstring& path) {
    PeImage image;
    const std::string bytes = ReadFileBytes(path);
    Reader r{bytes};
    const auto* dos = r.At<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return image;
    const auto* nt = r.At<IMAGE_NT_HEADERS64>(static_cast<std::size_t>(dos->e_lfanew));
    if (!nt || nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        return image;
    }
    r.sections = IMAGE_FIRST_SECTION(nt);
    r.section_count = nt->FileHeader.NumberOfSections;

    const auto& export_dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (const auto* ex = r.At<IMAGE_EXPORT_DIRECTORY>(r.FromRva(export_dir.VirtualAddress))) {
        for (DWORD i = 0; i < ex->NumberOfNames; ++i) {
            const auto* name_rva = r.At<uint32_t>(r.FromRva(ex->AddressOfNames) + 4 * i);
            const auto* ordinal = r.At<uint16_t>(r.FromRva(ex->AddressOfNameOrdinals) + 2 * i);
            if (!name_rva || !ordinal) return image;
            const auto* fn = r.At<uint32_t>(r.FromRva(ex->AddressOfFunctions) + 4 * *ordinal);
            if (!fn) return image;
            image.exports[r.String(*name_rva)] = *fn;
        }
    }
    const auto& import_dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (std::size_t off = r.FromRva(import_dir.VirtualAddress);; off += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* imp = r.At<IMAGE_IMPORT_DESCRIPTOR>(off);
        if (!imp || imp->Name == 0) break;
        image.imports.push_back(r.String(imp->Name));
    }
    image.ok = true;
    return image;
}

}  // namespace pintle::test
