// The replacement of the global allocation functions. Memory comes from malloc
// and goes back to free, so AddressSanitizer and LeakSanitizer still see every
// block; the over-aligned forms keep the runtime's own pair.
#include "testing/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace vantrel::testing {

namespace {

// Plain thread-local counters: reading them never allocates.
thread_local bool counting = false;
thread_local std::size_t counted = 0;
thread_local std::size_t fail_at = 0;
thread_local bool failed = false;

void* Allocate(std::size_t size) {
    if (counting) {
        ++counted;
        if (counted == fail_at) {
            failed = true;
            throw std::bad_alloc();
        }
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void ArmAllocationFailure(std::size_t n) {
    counted = 0;
    fail_at = n;
    failed = false;
    counting = true;
}

void DisarmAllocationFailure() { counting = false; }

std::size_t AllocationsCounted() { return counted; }

bool AllocationFailed() { return failed; }

}  // namespace vantrel::testing

// NOLINTBEGIN(misc-new-delete-overloads): every non-aligned form is replaced, as a set
void* operator new(std::size_t size) { return vantrel::testing::Allocate(size); }
void* operator new[](std::size_t size) { return vantrel::testing::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return vantrel::testing::Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return vantrel::testing::Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
// NOLINTEND(misc-new-delete-overloads)
