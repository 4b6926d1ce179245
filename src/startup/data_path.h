// Where the own value store lives, from the terminal directory and the
// "path" setting of Pintle.ini. Byte-level: the load sequence creates the
// directory and opens the store.
#pragma once
#include <string>
#include <string_view>

namespace pintle {

struct OwnStorePlace {
    std::wstring file;        // data.db
    std::wstring create_dir;  // created (one level) when missing; empty: none
    bool writable = false;
};

// Without a custom path: TradeSelfData\data.db in the terminal directory,
// writable, the directory created when missing. With one, read-only and no
// directory created: the path itself when it contains "\data.db"; the path
// followed by "\TradeSelfData\data.db" when it does not contain
// "TradeSelfData"; otherwise the path followed by "\data.db".
OwnStorePlace ChooseOwnStorePlace(std::wstring_view terminal_dir, std::wstring_view custom_path);

}  // namespace pintle
