#ifndef QUORIN_FRAMECLOCK_H
#define QUORIN_FRAMECLOCK_H

#include <cstdint>

// Frame timing of the Direct3D host from a high-resolution counter
// (QueryPerformanceCounter): the seconds between frames and the frames per
// second, recomputed as frames / seconds on the first frame more than one
// second after the previous figure.
//
// The clock can be stopped while the game does not run (the window
// minimised, in the background, or held by a move or size loop): the time
// between pause and resume belongs to no frame, neither to the next frame's
// length nor to the frames-per-second figure.
class FrameClock {
public:
    // ticksPerSecond is the counter's frequency; start is the counter value
    // the first frame is measured from. The clock runs.
    void start(int64_t ticksPerSecond, int64_t startTicks);
    // Takes the counter value of a new frame. False, and nothing changes,
    // when no time has passed since the previous frame (the frame is
    // skipped) or while the clock is stopped; otherwise the frame is counted
    // and elapsed() is its length.
    bool tick(int64_t nowTicks);
    // Stops the clock at nowTicks; nothing when it is stopped already.
    void pause(int64_t nowTicks);
    // Runs the clock again from nowTicks, as if the time since pause had not
    // passed; nothing when it runs.
    void resume(int64_t nowTicks);
    bool paused() const { return paused_; }
    float elapsed() const { return elapsed_; }
    // 0 until the first figure.
    float fps() const { return fps_; }

private:
    int64_t frequency_ = 1;
    int64_t lastTicks_ = 0;
    int64_t rateStartTicks_ = 0;
    int64_t pausedAt_ = 0;
    bool paused_ = false;
    int frames_ = 0;
    float elapsed_ = 0.0f;
    float fps_ = 0.0f;
};

#endif
