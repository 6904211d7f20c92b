#include "OutputTrack.h"

#include <algorithm>

namespace melodrift::arrangix {

OutputSlice& OutputTrack::sliceAt(int32_t tick)
{
    if (slices.empty() || slices.back().start < tick) {
        slices.push_back(OutputSlice{tick, {}, {}});
        return slices.back();
    }
    if (slices.back().start == tick)
        return slices.back();
    auto it = std::lower_bound(slices.begin(), slices.end(), tick,
                               [](const OutputSlice& s, int32_t t) { return s.start < t; });
    if (it != slices.end() && it->start == tick)
        return *it;
    return *slices.insert(it, OutputSlice{tick, {}, {}});
}

void OutputTrack::addControl(int32_t tick, const ControlRecord& c)
{
    OutputSlice& s = sliceAt(tick);
    if (std::find(s.controls.begin(), s.controls.end(), c) == s.controls.end())
        s.controls.push_back(c);
}

size_t OutputTrack::firstAtOrAfter(int32_t tick) const
{
    auto it = std::lower_bound(slices.begin(), slices.end(), tick,
                               [](const OutputSlice& s, int32_t t) { return s.start < t; });
    return static_cast<size_t>(it - slices.begin());
}

std::ptrdiff_t OutputTrack::lastAtOrBefore(int32_t tick) const
{
    auto it = std::upper_bound(slices.begin(), slices.end(), tick,
                               [](int32_t t, const OutputSlice& s) { return t < s.start; });
    return (it - slices.begin()) - 1;
}

} // namespace melodrift::arrangix
