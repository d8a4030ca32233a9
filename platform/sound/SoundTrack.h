#ifndef QUORIN_SOUNDTRACK_H
#define QUORIN_SOUNDTRACK_H

// One loaded sound the mixer can play: a music module or a stream.
// All calls come from the mixer, under its lock.
class SoundTrack {
public:
    // Frames rendered per step; tracks size their scratch buffers by it.
    static const int kChunk = 512;

    virtual ~SoundTrack() {}

    // Plays from the beginning, also when already playing.
    virtual void start() = 0;
    virtual void stop() = 0;
    bool playing() const { return playing_; }

    // Adds at most kChunk stereo frames (interleaved, 16-bit range) into mix;
    // a track that reaches its end stops itself.
    virtual void mixInto(int* mix, int frames) = 0;

protected:
    bool playing_ = false;
};

#endif
