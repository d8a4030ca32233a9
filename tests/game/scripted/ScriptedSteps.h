#ifndef QUORIN_SCRIPTEDSTEPS_H
#define QUORIN_SCRIPTEDSTEPS_H

#include <functional>
#include <string>
#include <vector>

// A scripted device's script as a list of steps, each taken in turn: a
// step is called once a frame, with the frames it has been called before
// (0 on its first frame), until it answers true; the next step starts on
// the frame after. Steps know nothing of the device kind: they are called
// from the script, which holds the device.
class ScriptedSteps {
public:
    using Step = std::function<bool(int framesInStep)>;

    void add(const std::string& what, Step step) { steps_.push_back({what, std::move(step)}); }
    // One frame of the current step; nothing once all are done.
    void frame()
    {
        if (finished())
            return;
        if (steps_[current_].step(framesInStep_++)) {
            ++current_;
            framesInStep_ = 0;
        }
    }
    bool finished() const { return current_ >= steps_.size(); }
    // The step under way, for a failure's message.
    std::string current() const
    {
        return finished() ? "(all done)" : "step " + std::to_string(current_ + 1) + ", " + steps_[current_].what;
    }

private:
    struct Named {
        std::string what;
        Step step;
    };
    std::vector<Named> steps_;
    size_t current_ = 0;
    int framesInStep_ = 0;
};

#endif
