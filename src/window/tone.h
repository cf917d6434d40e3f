#pragma once

namespace velarion::window {

// Sounds a sine tone on the default sound device and returns when it has
// sounded. Without a usable device (a headless machine) it waits the same
// time silently, so the run's timing is the same; it never fails.
void Beep(int frequencyHz, int durationMs);

}  // namespace velarion::window
