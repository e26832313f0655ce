#pragma once
// A growable array of untyped pointers. It never owns what they point to.

#include <windows.h>

#include <vector>

class CPtrArray {
  public:
    CPtrArray() = default;
    CPtrArray(const CPtrArray&) = delete;
    CPtrArray& operator=(const CPtrArray&) = delete;

    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_data.size()); }
    BOOL IsEmpty() const { return m_data.empty(); }

    // Indices must lie below GetSize().
    void* GetAt(INT_PTR index) const { return m_data[static_cast<size_t>(index)]; }
    void SetAt(INT_PTR index, void* element) { m_data[static_cast<size_t>(index)] = element; }
    void* operator[](INT_PTR index) const { return GetAt(index); }

    // Returns the new element's index.
    INT_PTR Add(void* element);
    // Appends every element of another array; returns the index of the first.
    INT_PTR Append(const CPtrArray& other);
    void RemoveAt(INT_PTR index, INT_PTR count = 1);
    void RemoveAll() { m_data.clear(); }

  private:
    std::vector<void*> m_data;
};
