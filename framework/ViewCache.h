#pragma once
// The views that FromHandle hands out: one per handle value and thread, kept for the
// thread's life as the window views are. A view only names its handle, so a value that the
// system hands out again later is still described correctly; `refresh` re-points a view
// whose handle was dropped meanwhile.

#include <map>
#include <memory>

template <class T, class H, class Refresh> T* CachedView(H handle, Refresh refresh) {
    if (handle == nullptr)
        return nullptr;
    thread_local std::map<H, std::unique_ptr<T>> views;
    std::unique_ptr<T>& view = views[handle];
    if (!view)
        view = std::make_unique<T>();
    refresh(*view, handle);
    return view.get();
}
