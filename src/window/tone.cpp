#include "tone.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

namespace velarion::window {

namespace {

constexpr unsigned kSampleRate = 44100;
constexpr unsigned kLatencyUs = 20000;

// ALSA reports a missing device on stderr by default; a silent tone is the
// expected outcome there, not an error.
void quietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

std::vector<short> sineSamples(int frequencyHz, int durationMs) {
    const auto count = static_cast<std::size_t>(kSampleRate) * durationMs / 1000;
    const std::size_t fade = std::min<std::size_t>(count / 4, kSampleRate / 500);  // 2 ms
    std::vector<short> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        double gain = 0.4;
        if (i < fade)
            gain *= static_cast<double>(i) / fade;  // no click at the edges
        if (count - i <= fade)
            gain *= static_cast<double>(count - i) / fade;
        const double phase = 2 * std::numbers::pi * frequencyHz * i / kSampleRate;
        samples[i] = static_cast<short>(gain * 32767 * std::sin(phase));
    }
    return samples;
}

bool play(const std::vector<short>& samples) {
    snd_lib_error_set_handler(quietAlsaErrors);
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
        return false;
    }
    bool ok = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                                 kSampleRate, 1, kLatencyUs) >= 0;
    std::size_t done = 0;
    while (ok && done < samples.size()) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm, samples.data() + done, samples.size() - done);
        if (n < 0)
            n = snd_pcm_recover(pcm, static_cast<int>(n), 1);
        if (n < 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    if (ok)
        snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    return ok;
}

}  // namespace

void Beep(int frequencyHz, int durationMs) {
    if (durationMs <= 0) {
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    if (frequencyHz > 0 && frequencyHz < static_cast<int>(kSampleRate / 2)) {
        play(sineSamples(frequencyHz, durationMs));
    }
    // Whatever the device did, the call lasts at least the tone's duration.
    std::this_thread::sleep_until(start + std::chrono::milliseconds(durationMs));
}

}  // namespace velarion::window
