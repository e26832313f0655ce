#pragma once
// Owner of one GDI object handle, or a view of one (FromHandle) that never deletes it.

#include <windows.h>

class CGdiObject {
  public:
    CGdiObject() = default;
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(CGdiObject&& other) noexcept;
    CGdiObject& operator=(CGdiObject&& other) noexcept;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    // A view of an object owned elsewhere; null for a null handle.
    static CGdiObject* FromHandle(HGDIOBJ hObject);

    // Takes ownership; whatever was held before is released first.
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    // Deletes an owned object; a view merely forgets its handle.
    BOOL DeleteObject();

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL IsOwner() const { return m_bOwner; }
    int GetObject(int nCount, LPVOID pObject) const;
    UINT GetObjectType() const { return ::GetObjectType(m_hObject); }
    BOOL CreateStockObject(int nIndex);

  protected:
    void AttachView(HGDIOBJ hObject);

  private:
    HGDIOBJ m_hObject = nullptr;
    BOOL m_bOwner = FALSE;
};
