#pragma once

namespace quorvel {

// Clears the upper halves of the AVX registers (vzeroupper) where the CPU has
// them; does nothing elsewhere.
//
// Qt 6.4 hashes strings (every QHash or QSet keyed by QString) with 256-bit
// AVX code that returns without clearing those halves, and a thread inherits
// the state of the thread that starts it. Until something clears them, every
// SSE instruction on that thread waits on the stale halves: on an AVX-512
// Xeon the time-stretch engine (SSE code) ran 2.5 times slower for it. So
// every thread the program starts clears them first, and the heavy audio
// loops at each block, after whatever they called may have left them.
void clearUpperVectorState() noexcept;

} // namespace quorvel
