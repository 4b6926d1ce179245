#include "publisher.h"

#include <cstring>

namespace kovalt {

std::wstring MappingName(int number) {
    std::wstring name = pintle::kMappingBaseName;
    if (number != 0) name += std::to_wstring(number);
    return name;
}

bool Publisher::Open(int number, std::wstring* error) {
    mutex_.reset(CreateMutexW(nullptr, FALSE, pintle::kBlockMutexName));
    if (!mutex_) {
        *error = L"cannot create the block mutex, error " + std::to_wstring(GetLastError());
        return false;
    }

    const std::wstring name = MappingName(number);
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(pintle::kSharedStateBlockSize), name.c_str()));
    if (!mapping_) {
        *error = L"cannot create the mapping " + name + L", error " + std::to_wstring(GetLastError());
        return false;
    }
    took_over_ = GetLastError() == ERROR_ALREADY_EXISTS;

    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, pintle::kSharedStateBlockSize));
    if (!view_) {
        *error = L"cannot map the mapping " + name + L", error " + std::to_wstring(GetLastError());
        return false;
    }
    return true;
}

void Publisher::Publish(const PublishedState& state) {
    auto* block = static_cast<pintle::SharedStateBlock*>(view_.get());
    if (!block) return;
    pintle::MutexHold hold(mutex_.get());
    if (!zeroed_) {
        std::memset(block, 0, sizeof *block);
        zeroed_ = true;
    }
    WriteState(*block, state);
}

}  // namespace kovalt
