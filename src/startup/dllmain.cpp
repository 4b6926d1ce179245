// The library entry point. Static data (locks, flags) is constructed by the
// run-time before this runs. Load never fails: the entry point returns TRUE
// whatever happens inside.
#include <windows.h>

#include "startup/lifecycle.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    try {
        if (reason == DLL_PROCESS_ATTACH) pintle::OnProcessAttach();
        else if (reason == DLL_PROCESS_DETACH) pintle::OnProcessDetach();
    } catch (...) {
    }
    return TRUE;
}
