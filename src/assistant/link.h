// AssistantLink: the connection to one numbered assistant — its named block
// mutex, its file mapping and mapped view of the SharedStateBlock, and its
// main window as last read from the block. One link is current at a time
// (assistant_state.h); it is only touched with the call lock held.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "common/win.h"
#include "formats/shared_state_block.h"

namespace pintle {

class AssistantLink {
public:
    AssistantLink() = default;
    AssistantLink(const AssistantLink&) = delete;
    AssistantLink& operator=(const AssistantLink&) = delete;

    // Opens the block mutex and the mapping for assistant number n.
    bool Connect(int32_t n);
    // Releases view and handles; the link can connect again.
    void Close();

    // The assistant's main window, or null. Re-reads it from the block and,
    // when it is gone, reconnects once: a restarted assistant is found on
    // the next call without the user doing anything.
    HWND MainWindow();

    // Sends a refresh request when 3000 ms have passed since the last one;
    // true when the block is mapped.
    bool Poll();
    // Asks the assistant (and its refresh receivers for this number) to
    // republish the block.
    void RefreshRequest();

    const SharedStateBlock* Block() const { return static_cast<const SharedStateBlock*>(view_.get()); }
    HANDLE Mutex() const { return mutex_.get(); }
    int32_t Number() const { return number_; }
    int32_t LastError() const { return last_error_; }
    const std::wstring& MappingName() const { return mapping_name_; }

    // Carried in the refresh request; set around position lookups.
    void SetCurrentCode(std::string code) { current_code_ = std::move(code); }
    void SetExtendedFields(bool on) { extended_fields_ = on; }

private:
    bool OpenMapping(const std::wstring& name);
    void ReleaseView();

    MappedView view_;
    std::wstring mapping_name_;
    UniqueHandle mapping_;
    uint64_t view_size_ = kSharedStateBlockSize;
    int32_t last_error_ = 0;
    HWND main_window_ = nullptr;
    int32_t number_ = 0;
    bool extended_fields_ = false;
    std::string current_code_;
    UniqueHandle mutex_;
    uint32_t last_poll_ = 0;
};

// The mapping name of an assistant number: the base name alone for 0,
// otherwise followed by the number in decimal.
std::wstring MappingNameFor(int32_t n);

// Widens a 32-bit handle value from the block.
inline HWND WindowFromBlock(uint32_t value) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(value)); }

}  // namespace pintle
