#include "CPtrArray.h"

INT_PTR CPtrArray::Add(void* element) {
    m_data.push_back(element);
    return GetSize() - 1;
}

INT_PTR CPtrArray::Append(const CPtrArray& other) {
    const INT_PTR first = GetSize();
    m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end());
    return first;
}

void CPtrArray::RemoveAt(INT_PTR index, INT_PTR count) {
    m_data.erase(m_data.begin() + index, m_data.begin() + index + count);
}
