#include "MelodyTrack.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <tuple>

namespace melodrift::sonobox {

namespace {

constexpr int kTakeTicksPerQuarter = 192;
constexpr int kDrumChannel = 9;

uint32_t BigEndian(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | b[at + static_cast<size_t>(i)];
    return v;
}

// Channels used by the events of one track chunk [at, end); false when the
// chunk is malformed.
bool ScanTrack(const std::vector<uint8_t>& b, size_t at, size_t end, std::array<bool, 16>& used)
{
    uint8_t status = 0;
    auto varlen = [&](uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            if (at >= end)
                return false;
            const uint8_t c = b[at++];
            v = (v << 7) | (c & 0x7F);
            if (!(c & 0x80))
                return true;
        }
        return false;
    };
    while (at < end) {
        uint32_t delta = 0;
        if (!varlen(delta) || at >= end)
            return false;
        uint8_t first = b[at];
        if (first & 0x80) {
            status = first;
            ++at;
        } else if (status < 0x80 || status >= 0xF0) {
            return false;   // running status without a channel status
        }
        if (status == 0xFF) {
            if (at >= end)
                return false;
            ++at;   // meta type
            uint32_t len = 0;
            if (!varlen(len) || len > end - at)
                return false;
            at += len;
            status = 0;
        } else if (status == 0xF0 || status == 0xF7) {
            uint32_t len = 0;
            if (!varlen(len) || len > end - at)
                return false;
            at += len;
            status = 0;
        } else if (status >= 0xF0) {
            return false;
        } else {
            const int kind = status >> 4;
            const size_t data = kind == 0xC || kind == 0xD ? 1 : 2;
            if (data > end - at)
                return false;
            at += data;
            used[status & 0x0F] = true;
        }
    }
    return true;
}

void PutVarlen(std::vector<uint8_t>& out, uint32_t v)
{
    uint8_t bytes[5];
    int n = 0;
    bytes[n++] = v & 0x7F;
    while (v >>= 7)
        bytes[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
    while (n > 0)
        out.push_back(bytes[--n]);
}

} // namespace

std::vector<uint8_t> AppendMelodyTrack(const std::vector<uint8_t>& smf, const std::vector<MelodyNote>& notes,
                                       const std::vector<std::pair<double, double>>& segments, double quartersPerBar)
{
    if (smf.size() < 14 || std::memcmp(smf.data(), "MThd", 4) != 0 || BigEndian(smf, 4, 4) != 6 ||
        quartersPerBar <= 0 || notes.empty())
        return smf;
    const uint32_t format = BigEndian(smf, 8, 2);
    const uint32_t tracks = BigEndian(smf, 10, 2);
    const uint32_t division = BigEndian(smf, 12, 2);
    if (format > 1 || (format == 0 && tracks != 1) || tracks >= 0xFFFF || division == 0 || (division & 0x8000))
        return smf;

    std::array<bool, 16> used{};
    size_t at = 14;
    for (uint32_t t = 0; t < tracks; ++t) {
        if (smf.size() - at < 8 || std::memcmp(smf.data() + at, "MTrk", 4) != 0)
            return smf;
        const uint32_t len = BigEndian(smf, at + 4, 4);
        if (len > smf.size() - at - 8 || !ScanTrack(smf, at + 8, at + 8 + len, used))
            return smf;
        at += 8 + len;
    }
    int channel = -1;
    for (int c = 0; c < 16 && channel < 0; ++c)
        if (c != kDrumChannel && !used[c])
            channel = c;
    if (channel < 0)
        return smf;

    // Onsets in bars of the take.
    struct Placed {
        double bar, length;
        int pitch;
    };
    std::vector<Placed> sung;
    const double takeTicksPerBar = kTakeTicksPerQuarter * quartersPerBar;
    double tick = 0;
    for (const MelodyNote& n : notes) {
        if (n.pitch >= 0 && n.pitch < 128 && n.ticks > 0)
            sung.push_back({tick / takeTicksPerBar, n.ticks / takeTicksPerBar, n.pitch});
        tick += std::max(0, n.ticks);
    }
    std::vector<std::pair<double, double>> form = segments;
    if (form.empty())
        form.emplace_back(0.0, tick / takeTicksPerBar);

    // (time, order, bytes): offs before ons at the same time.
    std::vector<std::tuple<uint32_t, int, std::array<uint8_t, 3>>> events;
    const double ticksPerBar = division * quartersPerBar;
    const auto on = static_cast<uint8_t>(0x90 | channel);
    const auto off = static_cast<uint8_t>(0x80 | channel);
    double songBar = 0;
    for (const auto& [start, length] : form) {
        if (!std::isfinite(start) || !std::isfinite(length) || length <= 0)
            continue;
        if (start >= 0) {
            for (const Placed& n : sung) {
                if (n.bar < start || n.bar >= start + length)
                    continue;
                const double begin = songBar + (n.bar - start);
                const double end = songBar + std::min(n.bar + n.length, start + length) - start;
                const auto t0 = static_cast<uint32_t>(std::llround(begin * ticksPerBar));
                const auto t1 = static_cast<uint32_t>(std::llround(end * ticksPerBar));
                if (t1 <= t0)
                    continue;
                events.push_back({t0, 1, {on, static_cast<uint8_t>(n.pitch), 100}});
                events.push_back({t1, 0, {off, static_cast<uint8_t>(n.pitch), 0}});
            }
        }
        songBar += length;
        if (songBar > 100000)
            break;
    }
    if (events.empty())
        return smf;
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
        return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
    });

    std::vector<uint8_t> track = {0x00, 0xFF, 0x03, 6, 'M', 'e', 'l', 'o', 'd', 'y',
                                  0x00, static_cast<uint8_t>(0xC0 | channel), kMelodyProgram};
    uint32_t now = 0;
    for (const auto& [time, order, bytes] : events) {
        (void)order;
        PutVarlen(track, time - now);
        now = time;
        track.insert(track.end(), bytes.begin(), bytes.end());
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

    std::vector<uint8_t> out(smf.begin(), smf.begin() + static_cast<std::ptrdiff_t>(at));
    out[9] = 1;   // a single-track file becomes a multi-track one
    out[8] = 0;
    out[10] = static_cast<uint8_t>((tracks + 1) >> 8);
    out[11] = static_cast<uint8_t>((tracks + 1) & 0xFF);
    const auto len = static_cast<uint32_t>(track.size());
    out.insert(out.end(), {'M', 'T', 'r', 'k', static_cast<uint8_t>(len >> 24), static_cast<uint8_t>(len >> 16),
                           static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)});
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

} // namespace melodrift::sonobox
