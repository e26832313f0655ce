#pragma once
// Owners of one icon or one cursor (see HandleMap.h). A view of either is its handle;
// a shared system cursor or icon is only ever viewed.

#include <windows.h>

#include <utility>

template <class Release> class CIconOwner {
  public:
    CIconOwner() = default;
    ~CIconOwner() { Destroy(); }
    CIconOwner(CIconOwner&& other) noexcept : m_hIcon(other.Detach()) {}
    CIconOwner& operator=(CIconOwner&& other) noexcept {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }
    CIconOwner(const CIconOwner&) = delete;
    CIconOwner& operator=(const CIconOwner&) = delete;

    BOOL Attach(HICON hIcon) {
        Destroy();
        m_hIcon = hIcon;
        return hIcon != nullptr;
    }
    HICON Detach() { return std::exchange(m_hIcon, nullptr); }
    // FALSE when there was nothing to destroy.
    BOOL Destroy() {
        HICON hIcon = Detach();
        return hIcon != nullptr && Release::Destroy(hIcon);
    }

    HICON GetSafeHandle() const { return m_hIcon; }

  private:
    HICON m_hIcon = nullptr;
};

struct IconRelease {
    static BOOL Destroy(HICON hIcon) { return ::DestroyIcon(hIcon); }
};
struct CursorRelease {
    static BOOL Destroy(HCURSOR hCursor) { return ::DestroyCursor(hCursor); }
};

using CIcon = CIconOwner<IconRelease>;
using CCursor = CIconOwner<CursorRelease>;
