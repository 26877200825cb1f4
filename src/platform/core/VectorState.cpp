#include "platform/core/VectorState.h"

namespace quorvel {

void clearUpperVectorState() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    static const bool hasAvx = __builtin_cpu_supports("avx");
    // No compiled code of ours keeps values in the upper halves (it is built
    // for SSE), so there is nothing to lose.
    if (hasAvx) asm volatile("vzeroupper" ::: "memory");
#endif
}

} // namespace quorvel
