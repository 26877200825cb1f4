// FFmpeg's Fourier transform and SoX resampler as the engine's steps use
// them: sizes, scaling, bins, and where the resampled samples land.
#include "platform/ffmpeg/RealFourierTransform.h"
#include "platform/ffmpeg/SampleRateConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>
#include <vector>

using namespace quorvel::ff;

TEST(RealFourierTransform, RefusesSizesItCannotDo) {
    EXPECT_THROW(RealFourierTransform(1000), std::invalid_argument);
    EXPECT_THROW(RealFourierTransform(8), std::invalid_argument);
    EXPECT_THROW(RealFourierTransform(0), std::invalid_argument);
    EXPECT_THROW(RealFourierTransform(1 << 21), std::invalid_argument);
    EXPECT_NO_THROW(RealFourierTransform(16));
}

TEST(RealFourierTransform, FindsTheBinAndGoesBackExactly) {
    for (int size : {16, 1024, 4096}) {
        RealFourierTransform fft(size);
        ASSERT_EQ(fft.bins(), size / 2 + 1);
        // A cosine of amplitude 0.5 on bin 5 plus a constant 0.25.
        std::vector<float> x(static_cast<size_t>(size)), back(static_cast<size_t>(size));
        for (int i = 0; i < size; ++i) x[size_t(i)] = 0.25f + 0.5f * float(std::cos(2 * std::numbers::pi * 5 * i / size));
        std::vector<std::complex<float>> spectrum(size_t(fft.bins()));
        fft.forward(x.data(), spectrum.data());
        EXPECT_NEAR(spectrum[0].real(), 0.25 * size, 1e-3 * size);
        EXPECT_EQ(spectrum[0].imag(), 0.0f);
        EXPECT_NEAR(std::abs(spectrum[5]), 0.25 * size, 1e-3 * size);
        EXPECT_EQ(spectrum[size_t(size / 2)].imag(), 0.0f);
        for (int k = 1; k < fft.bins(); ++k) {
            if (k != 5) {
                EXPECT_LT(std::abs(spectrum[size_t(k)]), 1e-3 * size) << size << " bin " << k;
            }
        }
        fft.inverse(spectrum.data(), back.data());
        for (int i = 0; i < size; ++i) ASSERT_NEAR(back[size_t(i)], x[size_t(i)], 1e-5) << size << " at " << i;
        // The caller's spectrum is left as it was.
        EXPECT_NEAR(std::abs(spectrum[5]), 0.25 * size, 1e-3 * size);
    }
}

TEST(SampleRateConverter, RefusesStepsOutOfRange) {
    EXPECT_THROW(SampleRateConverter(0.0), std::invalid_argument);
    EXPECT_THROW(SampleRateConverter(100.0), std::invalid_argument);
    EXPECT_THROW(SampleRateConverter(std::nan("")), std::invalid_argument);
}

TEST(SampleRateConverter, OutputStartsWithTheInputAndHasTheRightLength) {
    for (double step : {2.0, 0.5, std::sqrt(2.0)}) {
        SampleRateConverter converter(step);
        std::vector<float> click(30000, 0.0f), out;
        click[12000] = 1.0f;
        for (size_t at = 0; at < click.size(); at += 999)
            converter.convert(click.data() + at, long(std::min<size_t>(999, click.size() - at)), out);
        converter.flush(out);
        // The tail runs on a little past the end, never short of it.
        EXPECT_GE(double(out.size()), 30000 / step - 1) << step;
        EXPECT_LT(double(out.size()), 30000 / step + 2000) << step;
        const size_t peak = size_t(std::max_element(out.begin(), out.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                                   out.begin());
        EXPECT_NEAR(double(peak), 12000 / step, 1.0) << step;
    }
}
