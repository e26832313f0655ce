#include "GlyphMenuItem.h"

#include <cwchar>
#include <vector>

void GlyphMenuItem::SetTextWide(const wchar_t* text) {
    delete[] m_text;
    m_text = nullptr;
    if (text == nullptr)
        return;
    const size_t length = std::wcslen(text);
    m_text = new wchar_t[length + 1];
    std::wmemcpy(m_text, text, length + 1);
}

void GlyphMenuItem::SetTextAnsi(const char* text) {
    if (text == nullptr) {
        SetTextWide(nullptr);
        return;
    }
    const int units = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(units > 0 ? units : 1), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), units);
    SetTextWide(wide.data());
}

CString GlyphMenuItem::GetTextAnsi() const {
    CString text;
    if (m_text == nullptr)
        return text;
    // Every UTF-16 unit takes at most two bytes in a double-byte code page.
    const int size = 2 * static_cast<int>(std::wcslen(m_text)) + 2;
    const int written =
        ::WideCharToMultiByte(CP_ACP, 0, m_text, -1, text.GetBuffer(size), size, nullptr, nullptr);
    text.ReleaseBuffer(written > 0 ? written - 1 : 0);
    return text;
}
