#pragma once

// The model's ends and the pipe's friction: what holds the first segment,
// how the last one ends, and the friction of the pipe's wall. The defaults
// are the seed's model.

#include <QString>

#include <optional>

namespace velarion {

// How the last segment ends (named for the end the seed left free).
// Seed: the elongation of its piece enters with a plus sign, as the model
// was first written; the piece then pushes the last segment away from its
// neighbour, and the end is unstable.
// Restoring: with a minus sign, the opposite of the force the piece exerts
// on segment M - 1, so the end is pulled back like every other segment: a
// reservoir at zero gauge pressure.
// Closed: a dead end: segment M keeps its level-0 position.
enum class FreeEnd { Seed, Restoring, Closed };

// What holds segment 0, where the column, which moves towards it, is
// stopped.
// CounterPressure: the seed's update, segment 0 pushed by the counter
// pressure P.
// Closed: a valve shut at t = 0: segment 0 keeps its level-0 position.
// Valve: a valve whose velocity falls linearly from V0 to 0 over the
// closing time, then stays shut.
enum class FirstEnd { CounterPressure, Closed, Valve };

// The water-hammer choices beside the last end.
struct WaterHammer {
    FirstEnd firstEnd = FirstEnd::CounterPressure;
    double closingTime = 0;  // TC in seconds, for FirstEnd::Valve
    double friction = 0;     // the Darcy-Weisbach factor f, 0 or more
    bool operator==(const WaterHammer&) const = default;

    // Whether a valve holds segment 0 (shut or closing).
    bool hasValve() const { return firstEnd != FirstEnd::CounterPressure; }
    bool hasFriction() const { return friction != 0; }
    // Neither a valve nor friction: the seed's first end and pipe.
    bool isSeeds() const { return !hasValve() && !hasFriction(); }
};

// The names of the command line, the results file and Python:
// "counter-pressure", "closed", "valve"; "seed", "restoring", "closed".
QString firstEndName(FirstEnd end);
std::optional<FirstEnd> firstEndNamed(const QString& name);
QString freeEndName(FreeEnd end);
std::optional<FreeEnd> freeEndNamed(const QString& name);

}  // namespace velarion
