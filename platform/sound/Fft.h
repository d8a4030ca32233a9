#ifndef QUORIN_FFT_H
#define QUORIN_FFT_H

// Power spectrum of the last 1024 mixed samples in 512 bands.
// Tables and work buffers are made once; analyse() allocates nothing.
class Fft {
public:
    static const int kSize = 1024;
    static const int kBands = kSize / 2;

    Fft();

    // samples: kSize mono values in -1..1, oldest first. bands: kBands
    // magnitudes; a full-scale sine gives about 1.0 in its band.
    void analyse(const float* samples, float* bands);

private:
    float window_[kSize];
    float cos_[kSize / 2];
    float sin_[kSize / 2];
    int reversed_[kSize];
    float re_[kSize];
    float im_[kSize];
};

#endif
