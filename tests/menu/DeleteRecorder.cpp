#include "DeleteRecorder.h"

#include <cstdlib>
#include <iterator>
#include <new>

namespace {

// Fixed storage: recording must not allocate. Allocations are recorded too, so that
// a freed address handed out again is not mistaken for a second free of the same object.
struct Event {
    const void* address;
    bool freed;
};
Event g_events[1 << 16];
std::size_t g_count = 0;
bool g_recording = false;

void Record(const void* address, bool freed) noexcept {
    if (!g_recording || address == nullptr)
        return;
    if (g_count == std::size(g_events))
        std::abort();
    g_events[g_count++] = Event{address, freed};
}

void* Allocate(std::size_t size) {
    void* address = std::malloc(size != 0 ? size : 1);
    if (address == nullptr)
        throw std::bad_alloc();
    Record(address, false);
    return address;
}

} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* address) noexcept {
    Record(address, true);
    std::free(address);
}
void operator delete[](void* address) noexcept {
    operator delete(address);
}
void operator delete(void* address, std::size_t) noexcept {
    operator delete(address);
}
void operator delete[](void* address, std::size_t) noexcept {
    operator delete(address);
}

DeleteRecorder::DeleteRecorder() {
    g_count = 0;
    g_recording = true;
}

DeleteRecorder::~DeleteRecorder() {
    g_recording = false;
}

int DeleteRecorder::CountOf(const void* address) const {
    int count = 0;
    for (std::size_t i = 0; i < g_count; ++i) {
        if (g_events[i].address != address)
            continue;
        if (!g_events[i].freed)
            break; // handed out again: later frees are another object's
        ++count;
    }
    return count;
}
