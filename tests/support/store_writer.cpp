// store-writer.exe DATA_DB PREFIX COUNT EVENT: a second terminal for tests.
// Waits for the named event, then writes COUNT keys PREFIX0, PREFIX1, ...
// (slot 100, value i) into DATA_DB through a writable KeyValueStore, as a
// terminal's Set would. Exit code 0 when done.
#include <windows.h>

#include <string>

#include "common/text.h"
#include "store/store.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) return 2;
    const std::string prefix = pintle::WideToAnsi(argv[2]);
    const int count = std::stoi(argv[3]);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, argv[4]);
    if (!go || WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 1;
    pintle::KeyValueStore store;
    store.Open(argv[1], true);
    for (int i = 0; i < count; ++i) store.WriteValue(prefix + std::to_string(i), 0, 0, 100, i, 0, pintle::kNoBarTime);
    return store.IsOpen() ? 0 : 1;
}
