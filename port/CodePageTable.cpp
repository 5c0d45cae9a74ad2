#include "CodePageTable.h"

namespace kalo {

const std::array<CodePageRow, kCodePageCount> kCodePageTable = {{
    {"PC437 (USA: Standard Europe)", 0, 0},
    {"Katakana", 1, 1},
    {"PC850 (Multilingual)", 2, 2},
    {"PC860 (Portugues)", 3, 3},
    {"PC863 (Canadian-French)", 4, 4},
    {"PC865 (Nordic)", 5, 5},
    {"WPC1252 (Lantin 1)", 6, 16},
    {"PC866 (Cyrillic #2)", 7, 17},
    {"PC852 (Latin 2)", 8, 18},
    {"PC858 (Euro)", 9, 19},
    {"PC862 (Hebrew DOS code)", 10, 21},
    {"PC864 (Arabic)", 11, 22},
    {"Thai character code 42", 12, 23},
    {"WPC1253 (Greek)", 13, 24},
    {"WPC1254 (Turkish)", 14, 25},
    {"WPC1257 (Baltic)", 15, 26},
    {"Farsi", 16, 27},
    {"WPC1251 (Cyrillic)", 17, 28},
    {"PC737 (Greek)", 18, 29},
    {"PC775 (Baltic)", 19, 30},
    {"Thai character code 14", 20, 31},
    {"Hebrew Old code", 21, 32},
    {"WPC1255 (Hebrew)", 22, 33},
    {"Thai character code 11", 23, 34},
    {"Thai character code 18", 24, 35},
    {"PC855 (Cyrillic)", 25, 36},
    {"PC857 (Turkish)", 26, 37},
    {"PC928 (Greek)", 27, 38},
    {"Thai character code 16", 28, 39},
    {"WPC1256 (ARB)", 29, 40},
    {"WPC1258 (Vietnam)", 30, 41},
    {"Khmer (Cambodia)", 31, 42},
    {"PC852 (MSAN)", 32, 43},
    {"PC864 (CASIO)", 33, 44},
    {"PC865/PC1252 (ADC)", 34, 45},
    {"PC866 (DTK)", 35, 46},
    {"WPC1250 (Czech)", 36, 47},
}};

int CodePageBySwitchValue(int switchValue)
{
    for (size_t i = 0; i < kCodePageTable.size(); ++i) {
        if (kCodePageTable[i].switchValue == switchValue)
            return int(i);
    }
    return -1;
}

} // namespace kalo
