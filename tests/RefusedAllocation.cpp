#include "RefusedAllocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The replacements live alone in this file: inlined beside their callers,
// they would make the compiler see free() paired with new.

namespace {

// The size of the next allocation to refuse; 0 for none.
std::atomic<std::size_t> refusedSize{0};

} // namespace

void refuseAllocation(std::size_t size) {
    refusedSize.store(size);
}

bool allocationRefused() {
    return refusedSize.load() == 0;
}

void* operator new(std::size_t size) {
    std::size_t refused = refusedSize.load();
    if (refused != 0 && refused == size && refusedSize.compare_exchange_strong(refused, 0))
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
