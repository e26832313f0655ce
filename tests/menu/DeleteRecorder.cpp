#include "DeleteRecorder.h"

#include <cstdlib>
#include <new>

namespace {

// Fixed storage: recording must not allocate.
constexpr std::size_t kCapacity = 1 << 16;
const void* g_freed[kCapacity];
std::size_t g_count = 0;
bool g_recording = false;

void Release(void* address) noexcept {
    if (g_recording && address != nullptr) {
        if (g_count == kCapacity)
            std::abort();
        g_freed[g_count++] = address;
    }
    std::free(address);
}

void* Allocate(std::size_t size) {
    if (void* address = std::malloc(size != 0 ? size : 1))
        return address;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* address) noexcept {
    Release(address);
}
void operator delete[](void* address) noexcept {
    Release(address);
}
void operator delete(void* address, std::size_t) noexcept {
    Release(address);
}
void operator delete[](void* address, std::size_t) noexcept {
    Release(address);
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
    for (std::size_t i = 0; i < g_count; ++i)
        if (g_freed[i] == address)
            ++count;
    return count;
}
