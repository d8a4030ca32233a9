#ifndef QUORIN_STREAMTRACK_H
#define QUORIN_STREAMTRACK_H

#include "SoundTrack.h"

#include <memory>
#include <vector>

// A sampled sound (WAV, Ogg Vorbis, FLAC, ...) decoded by libsndfile while it
// plays, straight from memory, resampled to the mixing rate.
class StreamTrack : public SoundTrack {
public:
    // Null when libsndfile cannot read the bytes. The bytes are read while
    // the stream plays: they must stay valid until the track is destroyed.
    static std::unique_ptr<StreamTrack> open(const void* data, long size, int rate);
    ~StreamTrack() override;

    void start() override;
    void stop() override;
    void mixInto(int* mix, int frames) override;

    // The memory the decoder reads from (public for libsndfile's callbacks).
    struct Source {
        const unsigned char* data;
        long long size;
        long long position;
    };

private:
    StreamTrack();
    bool nextFrame(float& left, float& right);

    Source source_;
    void* file_ = nullptr;  // SNDFILE
    int channels_ = 0;
    double step_ = 1.0;     // source frames per output frame
    double phase_ = 0.0;
    float previous_[2] = {0.0f, 0.0f};
    float current_[2] = {0.0f, 0.0f};
    bool sourceEnded_ = false;
    std::vector<float> decoded_;  // kChunk frames of the source's channels
    int decodedFrames_ = 0;
    int decodedPosition_ = 0;
};

#endif
