// What the library does when the terminal loads and unloads it. Runs under
// the loader lock, before the first and after the last formula call.
#pragma once
#include <string_view>

namespace pintle {

void OnProcessAttach();
void OnProcessDetach();
// Sets the host flags from the terminal's executable file name (any case).
void NoteHost(std::wstring_view exe_name);
// Connects to the current assistant (0 at load) and opens its value store,
// or logs why it cannot be reached.
void ConnectAtLoad();
// Chooses the own store's file and mode from Pintle.ini and opens it.
void OpenOwnStoreAtLoad();
}  // namespace pintle
