// Frames per second of GlDevice under Xvfb: the test scene, and an empty
// frame (clear and swap). Not a test; run it through tests/xvfb/run.sh:
//
//     tests/xvfb/run.sh build/bin/gl_scene_benchmark [--no-extensions] [--seconds N]
#include "GlDevice.h"
#include "TestScene.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class BenchmarkDevice : public GlDevice {
public:
    double secondsPerCase = 3.0;
    double sceneFps = 0.0;
    double emptyFps = 0.0;

    void onInit() override { scene_.create(*this); }

    void onFrame(float) override
    {
        const bool drawScene = phase_ < 2;
        if (drawScene)
            scene_.draw(*this);
        else
            scene_.drawEmpty(*this);
        const auto now = std::chrono::steady_clock::now();
        if (frames_ == 0)
            start_ = now;
        ++frames_;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        // Phases: scene warm-up, scene timed, empty warm-up, empty timed.
        const double length = (phase_ % 2 == 0) ? 0.5 : secondsPerCase;
        if (seconds >= length) {
            if (phase_ == 1)
                sceneFps = (frames_ - 1) / seconds;
            if (phase_ == 3)
                emptyFps = (frames_ - 1) / seconds;
            ++phase_;
            frames_ = 0;
            if (phase_ == 4)
                requestQuit();
        }
    }

private:
    TestScene scene_;
    int phase_ = 0;
    long frames_ = 0;
    std::chrono::steady_clock::time_point start_;
};

} // namespace

int main(int argc, char** argv)
{
    bool extensions = true;
    double seconds = 3.0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-extensions") == 0)
            extensions = false;
        else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
    }
    BenchmarkDevice device;
    device.secondsPerCase = seconds > 0.1 ? seconds : 0.1;
    if (device.run(640, 480, false, "Quorin benchmark", false, extensions) != 0)
        return 1;
    std::printf("extensions %s\n", device.useExtensions() ? "in use" : "off");
    std::printf("test scene   %8.1f frames/s\n", device.sceneFps);
    std::printf("empty frame  %8.1f frames/s\n", device.emptyFps);
    return 0;
}
