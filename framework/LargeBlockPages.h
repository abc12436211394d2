#pragma once

#include <cstddef>

// Asks the kernel to back large blocks with huge pages (see LargeBlockPages.cpp for why).
// The programs' operator new does this for every block of kThreshold bytes or more; code
// that takes large blocks from malloc itself can ask the same with Advise.
class CLargeBlockPages
{
public:
    static constexpr std::size_t kThreshold = std::size_t(4) << 20;

    // Advises the whole 2 MB pages inside [p, p + nBytes), when the block is large.
    static void Advise(void *p, std::size_t nBytes);
    // Whether operator new advises large blocks in this build (not under the sanitizers,
    // whose own operator new stays in place).
    static bool InUse();
};
