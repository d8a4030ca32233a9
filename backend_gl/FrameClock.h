#ifndef QUORIN_FRAMECLOCK_H
#define QUORIN_FRAMECLOCK_H

#include <cstdint>

// Frame timing from a millisecond tick counter (SDL's): the seconds between
// frames and the frames-per-second figure, refreshed on the first frame
// more than one second after the previous refresh (the first refresh comes
// one second after the counter started). The figure is the number of frames
// counted since the previous refresh.
class FrameClock {
public:
    // Takes the tick count of a new frame and answers the seconds since the
    // previous frame: 0 for the first one. The counter may wrap around.
    float tick(uint32_t nowMs);
    // The last figure, truncated; 0 until the first refresh.
    int fps() const { return static_cast<int>(fps_); }

private:
    bool sampled_ = false;
    uint32_t lastTick_ = 0;
    float fps_ = 0.0f;
    float frameCounter_ = 0.0f;
    double lastRateTime_ = 0.0;
};

#endif
