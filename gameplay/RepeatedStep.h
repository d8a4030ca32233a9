#ifndef QUORIN_REPEATED_STEP_H
#define QUORIN_REPEATED_STEP_H

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

// value -= step, over and over, in float arithmetic, without doing every
// subtraction. Between two powers of two a float is a whole number of units
// in the last place, so a fixed step moves it by a fixed number of units
// (the step rounded to the nearest unit; a tie goes to the even neighbour,
// after which every step lands on an even count again). Near a power of two
// the unit changes, and those subtractions are done one by one, as are the
// ones from zero and from values that are not finite.
//
// stepWhile takes steps while each one moves the value (a step below half a
// unit leaves it where it is) and keeps holds(value) true, up to limit steps;
// it answers how many it took and leaves the value where the last one put
// it. holds must be true on a range of values: true at some value, true at
// every value between it and the start.
template <class Holds>
std::uint64_t stepWhile(float& value, float step, std::uint64_t limit, Holds holds)
{
    std::uint64_t taken = 0;
    while (taken < limit) {
        // How the next subtractions come out on the grid of this binade:
        // count units now, delta units fewer after each step.
        std::int64_t count = 0, delta = 0, low = 0, high = 0;
        double unit = 0.0;
        bool onGrid = std::isfinite(value) && std::isfinite(step) && value != 0.0f && step != 0.0f;
        const bool negative = value < 0.0f;
        if (onGrid) {
            const double size = negative ? -static_cast<double>(value) : value;
            const double toward = negative ? -static_cast<double>(step) : step;
            int exponent = 0;
            std::frexp(size, &exponent);
            if (size < FLT_MIN) {
                unit = std::ldexp(1.0, -149);
                low = 0;
                high = std::int64_t(1) << 23;
            } else {
                unit = std::ldexp(1.0, exponent - 24);
                low = std::int64_t(1) << 23;
                high = std::int64_t(1) << 24;
            }
            count = static_cast<std::int64_t>(size / unit);
            const double units = toward / unit;
            if (std::fabs(units) >= 33554432.0) {
                onGrid = false;
            } else {
                const double whole = std::floor(units);
                const double part = units - whole;
                delta = static_cast<std::int64_t>(whole);
                if (part > 0.5) {
                    delta += 1;
                } else if (part == 0.5) {
                    if (count % 2 != 0)
                        onGrid = false;
                    else if (delta % 2 != 0)
                        delta += 1;
                }
            }
        }
        // Steps that land strictly inside the binade follow the grid.
        std::int64_t room = 0;
        if (onGrid) {
            if (delta == 0)
                room = count > low && count < high ? -1 : 0;
            else if (delta > 0)
                room = count > low ? (count - low - 1) / delta : 0;
            else
                room = (high - 1 - count) / -delta;
        }
        if (room < 0)
            return taken;   // below half a unit: the value no longer moves
        if (room == 0) {
            const float next = value - step;
            if (next == value || !holds(next))
                return taken;
            value = next;
            ++taken;
            continue;
        }
        auto at = [&](std::int64_t steps) {
            const float size = static_cast<float>(static_cast<double>(count - steps * delta) * unit);
            return negative ? -size : size;
        };
        std::int64_t steps = static_cast<std::int64_t>(
            limit - taken < static_cast<std::uint64_t>(room) ? limit - taken : static_cast<std::uint64_t>(room));
        if (!holds(at(steps))) {
            // The last step that still holds lies before: halve the range.
            std::int64_t good = 0, bad = steps;
            while (bad - good > 1) {
                const std::int64_t middle = good + (bad - good) / 2;
                if (holds(at(middle)))
                    good = middle;
                else
                    bad = middle;
            }
            if (good > 0)
                value = at(good);
            return taken + static_cast<std::uint64_t>(good);
        }
        value = at(steps);
        taken += static_cast<std::uint64_t>(steps);
    }
    return taken;
}

#endif
