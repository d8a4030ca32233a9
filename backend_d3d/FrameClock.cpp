#include "FrameClock.h"

void FrameClock::start(int64_t ticksPerSecond, int64_t startTicks)
{
    frequency_ = ticksPerSecond > 0 ? ticksPerSecond : 1;
    lastTicks_ = startTicks;
    rateStartTicks_ = startTicks;
    pausedAt_ = 0;
    paused_ = false;
    frames_ = 0;
    elapsed_ = 0.0f;
    fps_ = 0.0f;
}

bool FrameClock::tick(int64_t nowTicks)
{
    if (paused_ || nowTicks == lastTicks_)
        return false;
    elapsed_ = static_cast<float>(static_cast<double>(nowTicks - lastTicks_) / frequency_);
    lastTicks_ = nowTicks;

    ++frames_;
    const double rateSeconds = static_cast<double>(nowTicks - rateStartTicks_) / frequency_;
    if (rateSeconds > 1.0) {
        fps_ = static_cast<float>(frames_ / rateSeconds);
        rateStartTicks_ = nowTicks;
        frames_ = 0;
    }
    return true;
}

void FrameClock::pause(int64_t nowTicks)
{
    if (paused_)
        return;
    paused_ = true;
    pausedAt_ = nowTicks;
}

void FrameClock::resume(int64_t nowTicks)
{
    if (!paused_)
        return;
    paused_ = false;
    // Both measures move on by the time away.
    const int64_t away = nowTicks - pausedAt_;
    lastTicks_ += away;
    rateStartTicks_ += away;
}
