// The export table as data: every name the terminals may call, with the
// function behind it. Pintle.def must say the same (a test reads both, and
// the built DLL's export directory).
#pragma once
#include <cstddef>

namespace pintle {

using AnyExport = void (*)();

struct ExportRow {
    const char* name;    // exported name, exactly as formulas spell it
    const char* symbol;  // the function's own name in the module
    AnyExport function;
};

const ExportRow* ExportTable();
std::size_t ExportTableSize();

}  // namespace pintle
