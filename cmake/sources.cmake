# The byte-level core: every source of the plug-in that includes no Windows
# header. Named here once, for the DLL (CMakeLists.txt) and for the native
# sanitized build with its fuzzers (native/CMakeLists.txt). What these files
# need from the system (clock, local time, code pages, files, the log) comes
# through small adapters: the *_win.cpp files in the DLL, native/adapters/ in
# the native build.
#
# A new source belongs here when `clang++ -std=c++20 -fsyntax-only -Isrc FILE`
# compiles it on Linux; otherwise it goes into the DLL's own list.
set(PINTLE_BYTE_SOURCES
  src/common/clock.cpp
  src/common/format.cpp
  src/common/local_time.cpp
  src/common/paths.cpp
  src/common/text.cpp
  src/log/log_line.cpp
  src/formula/boundary_state.cpp
  src/formula/formula.cpp
  src/formula/tdx_arrays.cpp
  src/assistant/order_line.cpp
  src/net/local_date.cpp
  src/net/share_bonus_page.cpp
  src/blocks/block_edits.cpp
  src/blocks/block_files.cpp
  src/screening/result_lines.cpp
  src/state/block_readers.cpp
  src/startup/data_path.cpp
  src/store/dated_history_rules.cpp
  src/store/key_value_store.cpp
  src/store/series_rules.cpp
  src/store/store_rules.cpp
)

# Unit tests of the byte-level core only: built into unit_tests under Wine
# and into native_unit_tests, so both builds run every case once.
set(PINTLE_BYTE_TESTS
  tests/unit/block_readers_test.cpp
  tests/unit/foreign_files_test.cpp
  tests/unit/format_test.cpp
  tests/unit/formula_rules_test.cpp
  tests/unit/share_bonus_test.cpp
  tests/unit/store_rules_test.cpp
  tests/unit/throttle_test.cpp
)
