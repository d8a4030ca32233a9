#ifndef QUORIN_FRAMECLOCK_H
#define QUORIN_FRAMECLOCK_H

#include <cstdint>

// Frame timing of the Direct3D host from a high-resolution counter
// (QueryPerformanceCounter): the seconds between frames and the frames per
// second, recomputed as frames / seconds on the first frame more than one
// second after the previous figure.
class FrameClock {
public:
    // ticksPerSecond is the counter's frequency; start is the counter value
    // the first frame is measured from.
    void start(int64_t ticksPerSecond, int64_t startTicks);
    // Takes the counter value of a new frame. False, and nothing changes,
    // when no time has passed since the previous frame (the frame is
    // skipped); otherwise the frame is counted and elapsed() is its length.
    bool tick(int64_t nowTicks);
    float elapsed() const { return elapsed_; }
    // 0 until the first figure.
    float fps() const { return fps_; }

private:
    int64_t frequency_ = 1;
    int64_t lastTicks_ = 0;
    int64_t rateStartTicks_ = 0;
    int frames_ = 0;
    float elapsed_ = 0.0f;
    float fps_ = 0.0f;
};

#endif
