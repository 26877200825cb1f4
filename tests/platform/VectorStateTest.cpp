// The upper halves of the AVX registers: left in use (Qt's string hashing
// does it), they slow every SSE instruction after them on some Xeons, so the
// program's worker threads must start with them clear.
#include "platform/core/VectorState.h"
#include "platform/core/WorkerThreads.h"

#include <atomic>
#include <cpuid.h>
#include <cstdint>
#include <gtest/gtest.h>
#include <optional>

using namespace quorvel;

namespace {

constexpr uint64_t kUpperHalves = 1u << 2; // the AVX state component

// The state components this thread has in use, where the CPU tells (XGETBV 1).
std::optional<uint64_t> componentsInUse() {
#if defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__builtin_cpu_supports("avx") || !__get_cpuid_count(0xd, 1, &a, &b, &c, &d) || !(a & (1u << 2)))
        return std::nullopt;
    unsigned lo = 0, hi = 0;
    asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
    return (uint64_t(hi) << 32) | lo;
#else
    return std::nullopt;
#endif
}

// Puts all ones in the whole of ymm0, as 256-bit code does and leaves behind.
void leaveUpperHalvesInUse() {
#if defined(__x86_64__)
    asm volatile("vcmpps $15, %%ymm0, %%ymm0, %%ymm0" ::: "xmm0");
#endif
}

} // namespace

TEST(VectorState, ClearingEndsUpperHalvesLeftInUseAndAWorkerStartsWithoutItsStarters) {
    if (!componentsInUse()) GTEST_SKIP() << "this CPU does not report the registers in use";
    leaveUpperHalvesInUse();
    ASSERT_NE(*componentsInUse() & kUpperHalves, 0u) << "the probe cannot see the state it looks for";
    clearUpperVectorState();
    EXPECT_EQ(*componentsInUse() & kUpperHalves, 0u);

    // A thread starts with a copy of its starter's registers.
    std::atomic<uint64_t> atStart{~uint64_t(0)};
    leaveUpperHalvesInUse();
    const WorkerThreads::Id id = WorkerThreads::start([&] { atStart = *componentsInUse(); });
    WorkerThreads::join(id);
    clearUpperVectorState();
    EXPECT_EQ(atStart.load() & kUpperHalves, 0u);
}
