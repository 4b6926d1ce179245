// The table RegisterTdxFunc hands out, and RegisterTdxFunc itself.
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"
#include "plugin/tdx_table.h"

namespace pintle {

const TdxTableEntry kTdxTable[kTdxFunctionCount + 1] = {
    {1, Tdx1},
    {2, Tdx2},
    {3, Tdx3},
    {4, Tdx4},
    {5, Tdx5},
    {6, Tdx6},
    {7, Tdx7},
    {8, Tdx8},
    {9, Tdx9},
    {10, Tdx10},
    {11, Tdx11},
    {12, Tdx12},
    {13, Tdx13},
    {14, Tdx14},
    {15, Tdx15},
    {16, Tdx16},
    {17, Tdx17},
    {18, Tdx18},
    {19, Tdx19},
    {20, Tdx20},
    {21, Tdx21},
    {22, Tdx22},
    {23, Tdx23},
    {24, Tdx24},
    {25, Tdx25},
    {26, Tdx26},
    {27, Tdx27},
    {28, Tdx28},
    {29, Tdx29},
    {30, Tdx30},
    {31, Tdx31},
    {32, Tdx32},
    {33, Tdx33},
    {34, Tdx34},
    {35, Tdx35},
    {36, Tdx36},
    {37, Tdx37},
    {38, Tdx38},
    {39, Tdx39},
    {40, Tdx40},
    {41, Tdx41},
    {42, Tdx42},
    {43, Tdx43},
    {44, Tdx44},
    {45, Tdx45},
    {46, Tdx46},
    {0, nullptr},
};

}  // namespace pintle

extern "C" int32_t pintle_RegisterTdxFunc(void** table) {
    if (table == nullptr || *table != nullptr) return 0;
    *table = const_cast<pintle::TdxTableEntry*>(pintle::kTdxTable);
    return 1;
}
