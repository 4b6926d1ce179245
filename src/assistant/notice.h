// The assistant notice: message 1142 posted to the assistant's main window,
// at most one per 3 seconds for the whole process. Without a window the
// optional text goes to the log instead.
#pragma once
#include <cstdint>

namespace pintle {

void PostAssistantNotice(int32_t code, int32_t number, const wchar_t* text);

}  // namespace pintle
