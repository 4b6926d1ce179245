#include "startup/data_path.h"

namespace pintle {

OwnStorePlace ChooseOwnStorePlace(std::wstring_view terminal_dir, std::wstring_view custom_path) {
    OwnStorePlace place;
    if (custom_path.empty()) {
        place.create_dir = std::wstring(terminal_dir) + L"TradeSelfData";
        place.file = place.create_dir + L"\\data.db";
        place.writable = true;
        return place;
    }
    const std::wstring custom(custom_path);
    if (custom.find(L"\\data.db") != std::wstring::npos) {
        place.file = custom;
    } else if (custom.find(L"TradeSelfData") == std::wstring::npos) {
        place.file = custom + L"\\TradeSelfData" + L"\\data.db";
    } else {
        place.file = custom + L"\\data.db";
    }
    return place;
}

}  // namespace pintle
