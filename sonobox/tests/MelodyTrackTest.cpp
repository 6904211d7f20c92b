#include <gtest/gtest.h>

#include "MelodyTrack.h"

using namespace melodrift::sonobox;

namespace {

// A format-1 file of one track at 96 ticks a quarter whose notes use the
// given channels.
std::vector<uint8_t> Smf(const std::vector<int>& channels)
{
    std::vector<uint8_t> track;
    for (int c : channels)
        track.insert(track.end(), {0x00, static_cast<uint8_t>(0x90 | c), 60, 90, 0x60, static_cast<uint8_t>(0x80 | c), 60, 0});
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> smf = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 0, 96,
                                'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(track.size())};
    for (uint8_t b : track)
        smf.push_back(b);
    return smf;
}

// The melody track's events after the original bytes: (delta, status, data1).
struct Added {
    int tracks = 0;
    std::vector<std::tuple<int, int, int>> events;
};

Added Read(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after)
{
    Added a;
    a.tracks = after[10] << 8 | after[11];
    size_t at = before.size() + 8;
    while (at < after.size()) {
        int delta = 0;
        while (after[at] & 0x80)
            delta = (delta << 7) | (after[at++] & 0x7F);
        delta = (delta << 7) | after[at++];
        const int status = after[at++];
        if (status == 0xFF) {
            const int type = after[at++];
            const int len = after[at++];
            a.events.emplace_back(delta, 0xFF00 | type, len);
            at += static_cast<size_t>(len);
        } else {
            const int data = after[at++];
            if ((status >> 4) != 0xC)
                ++at;
            a.events.emplace_back(delta, status, data);
        }
    }
    return a;
}

TEST(MelodyTrackTest, TheMelodyFollowsTheSongFormOnAFreeChannel)
{
    const auto smf = Smf({0, 1, 9});
    // A quarter note E, a quarter rest, a half note G: one 4/4 bar of take.
    const std::vector<MelodyNote> notes = {{64, 192}, {-128, 192}, {67, 384}};
    // A bar of intro without voice, then the take's bar, then it again.
    const auto out = AppendMelodyTrack(smf, notes, {{-1, 1}, {0, 1}, {0, 1}}, 4);
    const Added a = Read(smf, out);
    EXPECT_EQ(a.tracks, 2);
    EXPECT_EQ(out[9], 1);
    const std::vector<std::tuple<int, int, int>> expected = {
        {0, 0xFF03, 6},               // "Melody"
        {0, 0xC2, kMelodyProgram},    // channel 2: 0 and 1 are taken
        {384, 0x92, 64}, {96, 0x82, 64}, {96, 0x92, 67}, {192, 0x82, 67},
        {0, 0x92, 64}, {96, 0x82, 64}, {96, 0x92, 67}, {192, 0x82, 67},
        {0, 0xFF2F, 0}};
    EXPECT_EQ(a.events, expected);
    EXPECT_EQ(std::string(out.begin() + static_cast<long>(smf.size()) + 12, out.begin() + static_cast<long>(smf.size()) + 18), "Melody");
}

TEST(MelodyTrackTest, FilesItCannotReadOrFillComeBackUnchanged)
{
    const std::vector<MelodyNote> notes = {{60, 192}};
    auto truncated = Smf({0});
    truncated.resize(truncated.size() - 3);
    auto badLength = Smf({0});
    badLength[21] = 200;
    auto smpte = Smf({0});
    smpte[12] = 0xE7;
    std::vector<int> all;
    for (int c = 0; c < 16; ++c)
        all.push_back(c);
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"empty", {}},
        {"not a MIDI file", {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 1, 0, 1, 0, 96}},
        {"a track cut short", truncated},
        {"a track longer than the file", badLength},
        {"time code division", smpte},
        {"every channel in use", Smf(all)},
    };
    for (const auto& [name, smf] : cases)
        EXPECT_EQ(AppendMelodyTrack(smf, notes, {}, 4), smf) << name;
    EXPECT_EQ(AppendMelodyTrack(Smf({0}), {}, {}, 4), Smf({0})) << "no melody";
}

} // namespace
