#include "base/LargePages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace LargePages {

void prefer(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;
    if (!data || bytes < kLargePage)
        return;
    const auto from = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (from + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t end = (from + bytes) & ~(kLargePage - 1);
    // Only advice: a refusal (no large pages on this system) changes nothing.
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace LargePages
