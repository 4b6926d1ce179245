// Which of the stand-in assistant's windows a message arrived at. The name is
// what the journal writes in its window= field.
#pragma once
#include <string>

namespace kovalt {

enum class RoleKind { kMain, kExtra, kRefresh };

struct WindowRole {
    RoleKind kind = RoleKind::kMain;
    int index = 0;  // slot 0..4 for extra and refresh receivers

    bool IsMain() const { return kind == RoleKind::kMain; }
};

inline std::string RoleName(const WindowRole& role) {
    switch (role.kind) {
        case RoleKind::kMain: return "main";
        case RoleKind::kExtra: return "extra" + std::to_string(role.index);
        case RoleKind::kRefresh: return "refresh" + std::to_string(role.index);
    }
    return "unknown";
}

}  // namespace kovalt
