#include "platform/ffmpeg/RealFourierTransform.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include <algorithm>
#include <new>
#include <stdexcept>

namespace quorvel::ff {

namespace {

struct TxDeleter {
    void operator()(AVTXContext* c) const { av_tx_uninit(&c); }
};
struct AvFreeDeleter {
    void operator()(float* p) const { av_free(p); }
};
using Tx = std::unique_ptr<AVTXContext, TxDeleter>;
using AlignedFloats = std::unique_ptr<float, AvFreeDeleter>;

Tx makeTx(int size, bool inverse, float scale, av_tx_fn* fn) {
    AVTXContext* raw = nullptr;
    if (av_tx_init(&raw, fn, AV_TX_FLOAT_RDFT, inverse ? 1 : 0, size, &scale, 0) < 0 || !raw) {
        av_tx_uninit(&raw);
        throw std::bad_alloc();
    }
    return Tx(raw);
}

AlignedFloats makeBuffer(int floats) {
    auto* p = static_cast<float*>(av_calloc(size_t(floats), sizeof(float)));
    if (!p) throw std::bad_alloc();
    return AlignedFloats(p);
}

} // namespace

// Each member owns what it holds from the moment it is made, so a throw
// part-way through construction frees whatever came before.
struct RealFourierTransform::Contexts {
    explicit Contexts(int size)
        : forward(makeTx(size, false, 1.0f, &forwardFn)), inverse(makeTx(size, true, 1.0f / float(size), &inverseFn)),
          time(makeBuffer(size + 2)), spectrum(makeBuffer(size + 2)) {}

    av_tx_fn forwardFn = nullptr;
    av_tx_fn inverseFn = nullptr;
    Tx forward;
    Tx inverse;
    AlignedFloats time;      // size reals
    AlignedFloats spectrum;  // size / 2 + 1 complex values, interleaved
};

RealFourierTransform::RealFourierTransform(int size) : size_(size) {
    if (size < 16 || size > (1 << 20) || (size & (size - 1)) != 0)
        throw std::invalid_argument("RealFourierTransform: size must be a power of two from 16 to 2^20");
    contexts_ = std::make_unique<Contexts>(size);
}

RealFourierTransform::~RealFourierTransform() = default;

void RealFourierTransform::forward(const float* time, std::complex<float>* spectrum) {
    Contexts& c = *contexts_;
    std::copy_n(time, size_, c.time.get());
    c.forwardFn(c.forward.get(), c.spectrum.get(), c.time.get(), sizeof(float));
    // The imaginary parts of the first and last bins are zero by definition
    // but not always written.
    c.spectrum.get()[1] = 0.0f;
    c.spectrum.get()[size_ + 1] = 0.0f;
    const float* s = c.spectrum.get();
    for (int k = 0; k < bins(); ++k) spectrum[k] = {s[2 * k], s[2 * k + 1]};
}

void RealFourierTransform::inverse(const std::complex<float>* spectrum, float* time) {
    Contexts& c = *contexts_;
    float* s = c.spectrum.get();  // overwritten by the transform
    for (int k = 0; k < bins(); ++k) {
        s[2 * k] = spectrum[k].real();
        s[2 * k + 1] = spectrum[k].imag();
    }
    c.inverseFn(c.inverse.get(), c.time.get(), s, sizeof(std::complex<float>));
    std::copy_n(c.time.get(), size_, time);
}

} // namespace quorvel::ff
