// Large blocks on huge pages.
//
// The editor's text and the output panes live in Scintilla's gap buffers, std::vectors of
// tens of megabytes for a large file or a flood of output. Each fresh 4 KB page of such a
// block costs a page fault when it is first written, and on virtual machines (where most
// of us and our users now work) a fault is expensive: filling 20 MB of fresh pages took
// about 50 ms here, most of the time of opening a 20 MB file, against 2 ms when the same
// block is backed by 2 MB pages. Debian's kernel gives transparent huge pages to memory
// that asks for them (mode "madvise"), so large blocks ask, before they are written.
//
// The replacement forwards to malloc and free like the standard one, so every other
// allocation and every deallocation behaves as before. The sanitizers bring operator new
// of their own, which must stay theirs.

#include "framework/LargeBlockPages.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KESTREL_SANITIZER_NEW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define KESTREL_SANITIZER_NEW 1
#endif
#endif

void CLargeBlockPages::Advise(void *p, std::size_t nBytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (!p || nBytes < kThreshold)
        return;
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(p) + nBytes) & ~(kHuge - 1);
    // Only whole huge pages inside the block: the advice covers memory of this block alone.
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)p;
    (void)nBytes;
#endif
}

bool CLargeBlockPages::InUse()
{
#if defined(KESTREL_SANITIZER_NEW)
    return false;
#else
    return true;
#endif
}

#if !defined(KESTREL_SANITIZER_NEW)

namespace {

void *Allocate(std::size_t nBytes)
{
    void *p = std::malloc(nBytes ? nBytes : 1);
    CLargeBlockPages::Advise(p, nBytes);
    return p;
}

void *AllocateOrThrow(std::size_t nBytes)
{
    for (;;) {
        if (void *p = Allocate(nBytes))
            return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

} // namespace

void *operator new(std::size_t nBytes)
{
    return AllocateOrThrow(nBytes);
}

void *operator new[](std::size_t nBytes)
{
    return AllocateOrThrow(nBytes);
}

void *operator new(std::size_t nBytes, const std::nothrow_t &) noexcept
{
    try {
        return AllocateOrThrow(nBytes);
    } catch (...) {
        return nullptr;
    }
}

void *operator new[](std::size_t nBytes, const std::nothrow_t &) noexcept
{
    try {
        return AllocateOrThrow(nBytes);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete[](void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void *p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete(void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}

void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}

#endif
