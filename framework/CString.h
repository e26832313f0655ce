#pragma once
// ANSI text in the system code page (GBK here); lengths are in bytes.

#include <windows.h>

#include <string>

class CString {
  public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const char* text, int length) : m_text(text, static_cast<size_t>(length)) {}

    operator const char*() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int index) const { return m_text.at(static_cast<size_t>(index)); }

    CString& operator=(const char* text);
    CString& operator+=(const char* text);
    friend CString operator+(const CString& a, const char* b);
    int Compare(const char* other) const;
    friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }

    CString Left(int count) const;
    CString Mid(int first, int count = -1) const;
    int Find(char ch, int start = 0) const;

    void Format(const char* format, ...);
    BOOL LoadString(UINT id);

    // Room for at least minLength bytes plus the terminator; ReleaseBuffer
    // takes the new length (or measures it when -1).
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

  private:
    std::string m_text;
};
