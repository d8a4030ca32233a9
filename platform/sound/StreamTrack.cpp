#include "StreamTrack.h"

#include <sndfile.h>

#include <cstdio>
#include <cstring>

namespace {

const int kMaxChannels = 16;

sf_count_t sourceLength(void* user) {
    return static_cast<StreamTrack::Source*>(user)->size;
}

sf_count_t sourceSeek(sf_count_t offset, int whence, void* user) {
    StreamTrack::Source* s = static_cast<StreamTrack::Source*>(user);
    long long base = whence == SEEK_CUR ? s->position : whence == SEEK_END ? s->size : 0;
    long long target = base + offset;
    if (target < 0) target = 0;
    if (target > s->size) target = s->size;
    s->position = target;
    return target;
}

sf_count_t sourceRead(void* out, sf_count_t count, void* user) {
    StreamTrack::Source* s = static_cast<StreamTrack::Source*>(user);
    long long left = s->size - s->position;
    if (count > left) count = left;
    if (count <= 0) return 0;
    std::memcpy(out, s->data + s->position, static_cast<size_t>(count));
    s->position += count;
    return count;
}

sf_count_t sourceWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t sourceTell(void* user) {
    return static_cast<StreamTrack::Source*>(user)->position;
}

SF_VIRTUAL_IO memoryIo = {sourceLength, sourceSeek, sourceRead, sourceWrite, sourceTell};

}  // namespace

StreamTrack::StreamTrack() : source_{nullptr, 0, 0} {}

std::unique_ptr<StreamTrack> StreamTrack::open(const void* data, long size, int rate) {
    if (!data || size <= 0 || rate <= 0) return nullptr;
    std::unique_ptr<StreamTrack> track(new StreamTrack());
    track->source_.data = static_cast<const unsigned char*>(data);
    track->source_.size = size;
    SF_INFO info;
    std::memset(&info, 0, sizeof info);
    SNDFILE* file = sf_open_virtual(&memoryIo, SFM_READ, &info, &track->source_);
    if (!file) return nullptr;
    track->file_ = file;
    if (info.channels < 1 || info.channels > kMaxChannels || info.samplerate < 1000 ||
        info.samplerate > 384000) {
        std::fprintf(stderr, "sound: stream with %d channels at %d Hz refused\n",
                     info.channels, info.samplerate);
        return nullptr;
    }
    track->channels_ = info.channels;
    track->step_ = static_cast<double>(info.samplerate) / rate;
    track->decoded_.resize(static_cast<size_t>(kChunk) * info.channels);
    return track;
}

StreamTrack::~StreamTrack() {
    if (file_) sf_close(static_cast<SNDFILE*>(file_));
}

void StreamTrack::start() {
    sf_seek(static_cast<SNDFILE*>(file_), 0, SEEK_SET);
    decodedFrames_ = 0;
    decodedPosition_ = 0;
    sourceEnded_ = false;
    phase_ = 0.0;
    previous_[0] = previous_[1] = 0.0f;
    current_[0] = current_[1] = 0.0f;
    // Prime the interpolation with the first frame.
    if (!nextFrame(current_[0], current_[1])) {
        playing_ = false;
        return;
    }
    previous_[0] = current_[0];
    previous_[1] = current_[1];
    if (!nextFrame(current_[0], current_[1])) sourceEnded_ = true;
    playing_ = true;
}

void StreamTrack::stop() { playing_ = false; }

bool StreamTrack::nextFrame(float& left, float& right) {
    if (decodedPosition_ >= decodedFrames_) {
        sf_count_t got = sf_readf_float(static_cast<SNDFILE*>(file_), decoded_.data(), kChunk);
        decodedFrames_ = got > 0 ? static_cast<int>(got) : 0;
        decodedPosition_ = 0;
        if (decodedFrames_ == 0) return false;
    }
    const float* frame = decoded_.data() + static_cast<size_t>(decodedPosition_) * channels_;
    ++decodedPosition_;
    left = frame[0];
    right = channels_ > 1 ? frame[1] : frame[0];
    return true;
}

void StreamTrack::mixInto(int* mix, int frames) {
    if (!playing_) return;
    if (frames > kChunk) frames = kChunk;
    for (int i = 0; i < frames; ++i) {
        const float t = static_cast<float>(phase_);
        for (int c = 0; c < 2; ++c) {
            float v = previous_[c] + (current_[c] - previous_[c]) * t;
            int s = static_cast<int>(v * 32767.0f);
            mix[i * 2 + c] += s > 32767 ? 32767 : s < -32768 ? -32768 : s;
        }
        phase_ += step_;
        while (phase_ >= 1.0) {
            phase_ -= 1.0;
            if (sourceEnded_) {
                playing_ = false;
                return;
            }
            previous_[0] = current_[0];
            previous_[1] = current_[1];
            if (!nextFrame(current_[0], current_[1])) sourceEnded_ = true;
        }
    }
}
