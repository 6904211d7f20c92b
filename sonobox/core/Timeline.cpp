#include "Timeline.h"

#include <cmath>
#include <numbers>

namespace melodrift::sonobox {

StereoBuffer MakeClickBar(const Timeline& timeline)
{
    auto frames = static_cast<std::size_t>(timeline.SamplesPerBar() + 0.5);
    StereoBuffer bar(frames * 2, 0.0f);
    const std::size_t clickLength = kSampleRate / 25; // 40 ms
    for (int beat = 0; beat < timeline.BeatsPerBar(); ++beat) {
        auto start = static_cast<std::size_t>(beat * timeline.SamplesPerBeat() + 0.5);
        double hz = beat == 0 ? 1760.0 : 1320.0;
        double level = beat == 0 ? 0.6 : 0.4;
        for (std::size_t i = 0; i < clickLength && start + i < frames; ++i) {
            double t = static_cast<double>(i) / kSampleRate;
            double envelope = std::exp(-t * 90.0);
            auto s = static_cast<float>(level * envelope * std::sin(2.0 * std::numbers::pi * hz * t));
            bar[(start + i) * 2] = s;
            bar[(start + i) * 2 + 1] = s;
        }
    }
    return bar;
}

} // namespace melodrift::sonobox
