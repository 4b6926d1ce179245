#include "assistant_windows.h"

namespace kovalt {
namespace {

constexpr wchar_t kWindowClass[] = L"KovaltStandInWindow";

HINSTANCE ThisModule() { return GetModuleHandleW(nullptr); }

}  // namespace

WindowSet::~WindowSet() {
    // The sink may already be half torn down by now: windows die silently.
    for (auto& slot : slots_) {
        slot->sink = nullptr;
        slot->window.reset();
    }
    slots_.clear();
    if (class_registered_) UnregisterClassW(kWindowClass, ThisModule());
}

bool WindowSet::Create(MessageSink* sink, int number, int extra_count, int refresh_count, std::wstring* error) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowSet::WindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc)) {
        *error = L"cannot register the window class, error " + std::to_wstring(GetLastError());
        return false;
    }
    class_registered_ = true;

    std::vector<WindowRole> roles{{RoleKind::kMain, 0}};
    for (int i = 0; i < extra_count; ++i) roles.push_back({RoleKind::kExtra, i});
    for (int i = 0; i < refresh_count; ++i) roles.push_back({RoleKind::kRefresh, i});

    for (const WindowRole& role : roles) {
        auto slot = std::make_unique<Slot>();
        slot->role = role;
        slot->sink = sink;
        const std::string name = RoleName(role);
        const std::wstring title = L"Kovalt " + std::to_wstring(number) + L" " + std::wstring(name.begin(), name.end());
        // Created hidden (no WS_VISIBLE); the slot reaches the procedure
        // through the creation parameter.
        HWND h = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, ThisModule(), slot.get());
        if (!h) {
            *error = L"cannot create window " + title + L", error " + std::to_wstring(GetLastError());
            return false;
        }
        slot->window.reset(h);
        slots_.push_back(std::move(slot));
    }
    return true;
}

HWND WindowSet::Find(RoleKind kind, int index) const {
    for (const auto& slot : slots_) {
        if (slot->role.kind == kind && slot->role.index == index) return slot->window.get();
    }
    return nullptr;
}

HWND WindowSet::Main() const { return Find(RoleKind::kMain, 0); }
HWND WindowSet::Extra(int index) const { return Find(RoleKind::kExtra, index); }
HWND WindowSet::Refresh(int index) const { return Find(RoleKind::kRefresh, index); }

void WindowSet::DestroyMain() {
    for (auto& slot : slots_) {
        if (slot->role.IsMain()) slot->window.reset();
    }
}

LRESULT CALLBACK WindowSet::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* slot = reinterpret_cast<Slot*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);

    if (slot && slot->sink) {
        if (auto result = slot->sink->OnMessage(slot->role, window, message, wparam, lparam)) return *result;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace kovalt
