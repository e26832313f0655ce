#include "FreeGdiHandles.h"

#include <windows.h>

#include <vector>

int FreeGdiHandles() {
    constexpr size_t kMoreThanTheTable = 70000;
    std::vector<HBRUSH> brushes;
    brushes.reserve(kMoreThanTheTable);
    while (brushes.size() < kMoreThanTheTable) {
        HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
        if (brush == nullptr)
            break;
        brushes.push_back(brush);
    }
    for (HBRUSH brush : brushes)
        ::DeleteObject(brush);
    return static_cast<int>(brushes.size());
}
