#pragma once
// The time-stretch and pitch-shift engine, on Rubber Band.
//
// The engine pulls its input through a read callback, a block at a time, and
// hands out output in blocks of whatever size the caller asks for:
//
//   DiracPtr d(DiracCreate(200, 300, 1, 44100.f, readCallback, userData));
//   DiracSetProperty(kDiracPropertyTimeFactor, 2.0, d.get());   // twice as long
//   while (DiracProcess(out, 8192, d.get()) > 0) { ...write out... }
//   // DiracDestroy when d goes
//
// Properties (set them all before the first DiracProcess; afterwards they are
// refused):
//   100 pitch factor      2.0 is one octave up
//   101 time factor       output length = input length x factor
//   102 formant factor    1 / pitch keeps the formants in place; 1.0 lets
//                         them move with the pitch
//   107 constant-CPU pitch shifting (1.0 on, 0.0 off): the cheaper shifter
//
// Output: exactly ceil(input frames x time factor) frames, aligned with the
// input (a transient at input time t comes out at t x time factor), the
// stretcher's tail flushed. With time and pitch factors both exactly 1.0 the
// output is the input, sample for sample.
//
// Threads: one engine is driven from one thread at a time; the read callback
// is called from within DiracProcess on the caller's thread. Separate engines
// may run on separate threads.

#include <memory>

namespace quorvel {

// Reads up to numFrames frames into data[channel][frame]; returns the number
// of frames delivered, 0 or less at the end of the input.
using DiracReadCallback = long (*)(float** data, long numFrames, void* userData);

enum : long {
    kDiracLambdaPreview = 200,   // mode
    kDiracQualityPreview = 300,  // quality: fast preview
    kDiracQualityGood = 301,     // higher qualities use the finer engine
    kDiracQualityBetter = 302,
    kDiracQualityBest = 303,

    kDiracPropertyPitchFactor = 100,
    kDiracPropertyTimeFactor = 101,
    kDiracPropertyFormantFactor = 102,
    kDiracPropertyUseConstantCpuPitchShift = 107,
};

// Returns an engine handle, or null when the arguments cannot make one
// (no callback, channels < 1, sample rate not positive, unknown quality).
void* DiracCreate(long mode, long quality, long channels, float sampleRate,
                  DiracReadCallback readCallback, void* userData);
// Returns 0 when the value was taken, -1 for an unknown id, a value out of
// range, a null handle or a change after processing began.
long DiracSetProperty(long id, double value, void* dirac);
// Fills audioOut[channel][0 .. numFrames) (zeros after the end). Returns the
// number of frames of real output in this block, 0 once all output has been
// produced, -1 on a bad argument.
long DiracProcess(float** audioOut, long numFrames, void* dirac);
void DiracDestroy(void* dirac);

// Owns an engine handle: DiracDestroy when it goes.
struct DiracDestroyer {
    void operator()(void* dirac) const { DiracDestroy(dirac); }
};
using DiracPtr = std::unique_ptr<void, DiracDestroyer>;

} // namespace quorvel
