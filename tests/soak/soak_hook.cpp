// Loaded into the panel's process by soak_probe's window hook: on the registered message
// it counts how many more GDI objects the process's handle table takes (creating and
// freeing them at once) and sends the number back to the reply window (wParam) with
// WM_COPYDATA. A leak shows as room lost between two counts.

#include <windows.h>

#include <string>
#include <vector>

namespace {

int FreeGdiHandles() {
    constexpr std::size_t kMoreThanTheTable = 70000;
    std::vector<HBRUSH> brushes;
    brushes.reserve(kMoreThanTheTable);
    while (brushes.size() < kMoreThanTheTable) {
        HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
        if (!brush)
            break;
        brushes.push_back(brush);
    }
    for (HBRUSH brush : brushes)
        ::DeleteObject(brush);
    return static_cast<int>(brushes.size());
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    SoakCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT count = ::RegisterWindowMessageA("KestrelSoakGdiRoom");
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == count) {
        std::string text = std::to_string(FreeGdiHandles());
        COPYDATASTRUCT data{0, static_cast<DWORD>(text.size() + 1), text.data()};
        ::SendMessageA(reinterpret_cast<HWND>(call->wParam), WM_COPYDATA,
                       reinterpret_cast<WPARAM>(call->hwnd), reinterpret_cast<LPARAM>(&data));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
