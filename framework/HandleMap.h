#pragma once
// Owners and views, the one rule for every handle the framework wraps.
//
// An owner (CWnd, CMenu, the GDI objects, CImageList, CIcon and CCursor, CMemoryDC,
// CPaintDC, CClientDC) holds one handle and releases it in its destructor; it is never
// copied. The GDI objects, CImageList, CIcon, CCursor, CMemoryDC and CMenu also move. A
// CWnd does not, since its window's messages lead back to its address, and neither do
// CPaintDC and CClientDC, which live for one scope. A view only names a handle someone
// else owns and never releases it; it is a plain value made on the spot: the handle
// itself, or for a device context a CDC, which every DC owner derives from so drawing
// code takes either.
//
// Attach and every Create on an owner replace what it held: the old handle is released
// as the new one is taken, and a Create that fails leaves the owner empty. For a window,
// SubclassWindow is the Attach. Only a window or menu already attached to an object is
// refused, and then nothing changes.
//
// A window and a menu must lead back to their object (a window's messages, a
// menu's owner draw), so each kind has one map from handle to attached object,
// kept by this class. A map may be read and changed from any thread: it locks.

#include <windows.h>

#include <map>
#include <mutex>

template <class Handle, class Object> class HandleMap {
  public:
    // False when the handle already belongs to an object.
    bool Add(Handle handle, Object* object) {
        std::lock_guard lock(m_lock);
        return m_objects.emplace(handle, object).second;
    }
    void Remove(Handle handle, const Object* object) {
        std::lock_guard lock(m_lock);
        auto found = m_objects.find(handle);
        if (found != m_objects.end() && found->second == object)
            m_objects.erase(found);
    }
    Object* Find(Handle handle) const {
        std::lock_guard lock(m_lock);
        auto found = m_objects.find(handle);
        return found == m_objects.end() ? nullptr : found->second;
    }
    // The first object whose handle satisfies the test, or null.
    template <class Test> Object* FindIf(Test test) const {
        std::lock_guard lock(m_lock);
        for (const auto& [handle, object] : m_objects)
            if (test(handle))
                return object;
        return nullptr;
    }

  private:
    mutable std::mutex m_lock;
    std::map<Handle, Object*> m_objects;
};
