// Writing the screening result files beside Kovalt.exe.
#include <windows.h>

#include "common/win.h"
#include "screening_files.h"

namespace kovalt {

std::wstring ExecutableDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    const std::wstring path(buffer, n < MAX_PATH ? n : 0);
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool WriteScreeningFiles(const std::wstring& dir, const std::vector<ScreeningFile>& files, std::wstring* error) {
    for (const auto& file : files) {
        const std::wstring sub = dir + file.kind;
        CreateDirectoryW(sub.c_str(), nullptr);  // may exist already
        const std::wstring path = sub + L"\\" + std::to_wstring(file.number) + L".txt";
        const std::string bytes = ScreeningFileBytes(file);
        // A reader sees the old file or the new one, never half of one.
        const std::wstring temp = path + L".new";
        bool ok = false;
        {
            pintle::UniqueHandle out(
                CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD wrote = 0;
            ok = out && WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) &&
                 wrote == bytes.size();
        }
        if (!ok || !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            *error = L"cannot write " + path + L", error " + std::to_wstring(GetLastError());
            return false;
        }
    }
    return true;
}

}  // namespace kovalt
