// pintle-call's "capi" command: calls one function of the plug-in's C
// interface (include/pintle.h) the way another program in the terminal's
// process would, and describes what came back.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace pintle_call {

// words: "capi" FUNCTION ARGS...; gives the output line(s), ending in "\n".
std::wstring RunCApi(HMODULE dll, const std::vector<std::wstring>& words);

}  // namespace pintle_call
