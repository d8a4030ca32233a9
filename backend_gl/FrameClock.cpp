#include "FrameClock.h"

float FrameClock::tick(uint32_t nowMs)
{
    if (!sampled_) {
        sampled_ = true;
        lastTick_ = nowMs;
    }
    const float elapsed = static_cast<float>(static_cast<uint32_t>(nowMs - lastTick_)) * 0.001f;
    lastTick_ = nowMs;

    const double nowSeconds = nowMs * 0.001;
    frameCounter_ += 1.0f;
    if (nowSeconds - lastRateTime_ > 1.0 || nowSeconds < lastRateTime_) {
        lastRateTime_ = nowSeconds;
        fps_ = frameCounter_;
        frameCounter_ = 0.0f;
    }
    return elapsed;
}
