#pragma once

namespace quorvel {

// Clears the upper halves of the AVX registers (vzeroupper) where the CPU has
// them; does nothing elsewhere.
//
// Qt 6.4 hashes strings (every QHash or QSet keyed by QString) with 256-bit
// AVX code that returns without clearing those halves, and a thread inherits
// the state of the thread that starts it. Until something clears them, every
// SSE instruction on that thread waits on the stale halves: on Xeons of the
// Skylake line the time-stretch engine ran 2.5 times slower for it, and the
// AAC encoder and decoders lose time the same way. So the threads that do
// audio work clear them when they start, and the heavy loops at each block.
void clearUpperVectorState() noexcept;

} // namespace quorvel
