#include "Fft.h"

#include <cmath>

Fft::Fft() {
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < kSize; ++i) {
        window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * pi * i / (kSize - 1)));
    }
    for (int i = 0; i < kSize / 2; ++i) {
        cos_[i] = static_cast<float>(std::cos(2.0 * pi * i / kSize));
        sin_[i] = static_cast<float>(-std::sin(2.0 * pi * i / kSize));
    }
    int bits = 0;
    while ((1 << bits) < kSize) ++bits;
    for (int i = 0; i < kSize; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b) {
            if (i & (1 << b)) r |= 1 << (bits - 1 - b);
        }
        reversed_[i] = r;
    }
}

void Fft::analyse(const float* samples, float* bands) {
    for (int i = 0; i < kSize; ++i) {
        re_[reversed_[i]] = samples[i] * window_[i];
        im_[reversed_[i]] = 0.0f;
    }
    for (int len = 2; len <= kSize; len <<= 1) {
        const int half = len / 2;
        const int stride = kSize / len;
        for (int start = 0; start < kSize; start += len) {
            for (int j = 0; j < half; ++j) {
                const float wr = cos_[j * stride];
                const float wi = sin_[j * stride];
                const int a = start + j;
                const int b = a + half;
                const float tr = re_[b] * wr - im_[b] * wi;
                const float ti = re_[b] * wi + im_[b] * wr;
                re_[b] = re_[a] - tr;
                im_[b] = im_[a] - ti;
                re_[a] += tr;
                im_[a] += ti;
            }
        }
    }
    // The Hann window halves a sine's amplitude and a real sine of amplitude
    // A shows A * N / 2 in its band, hence the factor 4 / N.
    const float scale = 4.0f / kSize;
    for (int i = 0; i < kBands; ++i) {
        bands[i] = std::sqrt(re_[i] * re_[i] + im_[i] * im_[i]) * scale;
    }
}
