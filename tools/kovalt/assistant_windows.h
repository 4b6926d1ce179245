// The stand-in assistant's windows: the main window, the extra receivers and
// the refresh receivers. All are plain hidden top-level windows of one class
// (the plug-in checks them with IsWindow and sends to them, so message-only
// windows would not do). Each window carries its role; every message is
// handed to one MessageSink with that role. Created, used and destroyed on
// the one UI thread.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/win.h"
#include "window_role.h"

namespace kovalt {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // The message's result, or nothing for the default handling.
    virtual std::optional<LRESULT> OnMessage(const WindowRole& role, HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) = 0;
};

// A window destroyed with its owner.
class UniqueWindow {
public:
    UniqueWindow() = default;
    explicit UniqueWindow(HWND h) : h_(h) {}
    ~UniqueWindow() { reset(); }
    UniqueWindow(UniqueWindow&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueWindow& operator=(UniqueWindow&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    UniqueWindow(const UniqueWindow&) = delete;
    UniqueWindow& operator=(const UniqueWindow&) = delete;

    HWND get() const { return h_; }
    void reset(HWND h = nullptr) {
        // Taken out first: DestroyWindow runs the window procedure again.
        HWND old = std::exchange(h_, h);
        if (old) DestroyWindow(old);
    }

private:
    HWND h_ = nullptr;
};

class WindowSet {
public:
    WindowSet() = default;
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;
    ~WindowSet();

    // Creates the main window, `extra_count` extra receivers and
    // `refresh_count` refresh receivers, all reporting to `sink`, which must
    // outlive the set. False with a message on failure.
    bool Create(MessageSink* sink, int number, int extra_count, int refresh_count, std::wstring* error);

    HWND Main() const;
    HWND Extra(int index) const;
    HWND Refresh(int index) const;

    // Destroys the main window only; the others stay. Safe to call from the
    // main window's own procedure.
    void DestroyMain();

private:
    struct Slot {
        WindowRole role;
        MessageSink* sink = nullptr;
        UniqueWindow window;
    };

    HWND Find(RoleKind kind, int index) const;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    // Slots are pointed to by their windows, so they must not move.
    std::vector<std::unique_ptr<Slot>> slots_;
    bool class_registered_ = false;
};

}  // namespace kovalt
