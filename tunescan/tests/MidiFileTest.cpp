#include "MelodyLine.h"
#include "MidiBytes.h"
#include "MidiFile.h"

#include <gtest/gtest.h>

using namespace melodrift::tunescan;
using melodrift::testsupport::MidiBytes;
namespace testsupport = melodrift::testsupport;

namespace {

std::vector<MelodyNote> firstMelody(const std::vector<uint8_t>& bytes)
{
    auto file = MidiFile::parse(bytes);
    EXPECT_TRUE(file.has_value());
    if (!file)
        return {};
    MelodyLine line(*file);
    for (const MidiTrack& t : file->tracks) {
        auto m = line.extract(t);
        if (!m.empty())
            return m;
    }
    return {};
}

void expectMelody(const std::vector<MelodyNote>& got, const std::vector<std::pair<int, int32_t>>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].pitch, want[i].first) << "note " << i;
        EXPECT_EQ(got[i].length, want[i].second) << "note " << i;
    }
}

TEST(MidiFile, ReadsMelodyWithRestsAndRunningStatus)
{
    testsupport::Melody m{{{-1, 96}, {60, 192}, {62, 96}, {-1, 48}, {64, 384}}};
    for (bool running : {true, false}) {
        auto notes = firstMelody(testsupport::MelodyFile(3, 4, 100, m, 192, running));
        expectMelody(notes, {{-1, 96}, {60, 192}, {62, 96}, {-1, 48}, {64, 384}});
    }
}

TEST(MidiFile, ConvertsAnyDivisionToQuarterTicks)
{
    struct Case {
        uint16_t division;
        uint32_t quarter;  // file ticks of a quarter note at tempo 120
    } cases[] = {
        {96, 96}, {480, 480}, {1000, 1000}, {6, 6},
        // 25 frames a second, 40 ticks a frame: 1000 ticks a second, and a
        // quarter note at 120 beats a minute lasts half a second.
        {static_cast<uint16_t>((-25 << 8) | 40), 500},
    };
    for (const Case& c : cases) {
        testsupport::Melody m{{{60, c.quarter}, {-1, c.quarter / 2}, {67, 2 * c.quarter}}};
        auto notes = firstMelody(testsupport::MelodyFile(4, 4, 120, m, c.division));
        expectMelody(notes, {{60, 192}, {-1, 96}, {67, 384}});
    }
}

TEST(MidiFile, MakesOverlapsAndChordsMonophonic)
{
    MidiBytes file(0, 192);
    auto& t = file.Track();
    // A chord C-E-G of a quarter; then D held under a later F.
    t.Delta(0).Raw({0x90, 60, 90}).Delta(0).Raw({0x90, 67, 90}).Delta(0).Raw({0x90, 64, 90});
    t.Delta(192).Raw({0x80, 60, 0}).Delta(0).Raw({0x80, 64, 0}).Delta(0).Raw({0x80, 67, 0});
    t.Delta(0).Raw({0x90, 62, 90}).Delta(96).Raw({0x90, 65, 90}).Delta(192).Raw({0x80, 62, 0});
    t.Delta(96).Raw({0x80, 65, 0}).End();
    expectMelody(firstMelody(file.Bytes()), {{67, 192}, {62, 96}, {65, 288}});
}

TEST(MidiFile, TakesTempoAndMetreFromConductorTrack)
{
    MidiBytes file(1, 480);
    file.Track().Metre(6, 8).Tempo(130).End();
    file.Track().Note(72, 480).End();
    auto parsed = MidiFile::parse(file.Bytes());
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->tracks.size(), 2u);
    EXPECT_TRUE(parsed->tracks[0].notes.empty());
    MelodyLine line(*parsed);
    EXPECT_EQ(line.metreCode(), 3);
    EXPECT_EQ(line.tempo(), 130);
    expectMelody(line.extract(parsed->tracks[1]), {{72, 192}});
}

TEST(MidiFile, NoteWithoutOffEndsWithItsTrack)
{
    MidiBytes file(0, 96);
    file.Track().Delta(0).Raw({0x90, 60, 90}).Delta(96).Raw({0xFF, 0x01, 0x01, 'x'}).End();
    expectMelody(firstMelody(file.Bytes()), {{60, 192}});
}

std::vector<uint8_t> withTrack(std::vector<uint8_t> track, uint32_t declared)
{
    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(declared >> (8 * i)));
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

TEST(MidiFile, RefusesBrokenFiles)
{
    std::vector<uint8_t> header{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
    auto format = [&](uint8_t f) { auto h = header; h[9] = f; return h; };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"wrong magic", {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}},
        {"short header", {'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1}},
        {"header longer than file", {'M', 'T', 'h', 'd', 0, 0, 0, 60, 0, 0, 0, 1, 0, 96}},
        {"no track", header},
        {"format 2", format(2)},
        {"track longer than file", withTrack({0x00, 0xFF, 0x2F, 0x00}, 400)},
        {"five-byte delta", withTrack({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 90}, 8)},
        {"data byte without status", withTrack({0x00, 60, 90, 0x00, 0xFF, 0x2F, 0x00}, 7)},
        {"meta longer than track", withTrack({0x00, 0xFF, 0x51, 0x20, 1, 2, 3}, 7)},
        {"sysex longer than track", withTrack({0x00, 0xF0, 0x7F, 1, 2}, 5)},
        {"cut inside note-on", withTrack({0x00, 0x90, 60}, 3)},
        {"real-time byte in track", withTrack({0x00, 0xF8, 0x00, 0xFF, 0x2F, 0x00}, 6)},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(MidiFile::parse(c.bytes).has_value()) << c.what;
    auto zeroDivision = withTrack({0x00, 0xFF, 0x2F, 0x00}, 4);
    ASSERT_TRUE(MidiFile::parse(zeroDivision).has_value());
    zeroDivision[13] = 0;
    EXPECT_FALSE(MidiFile::parse(zeroDivision).has_value()) << "division 0";
}

TEST(MidiFile, EveryCutOfAGoodFileIsHandled)
{
    testsupport::Melody m{{{60, 192}, {62, 96}, {-1, 96}, {64, 192}}};
    auto bytes = testsupport::MelodyFile(3, 4, 100, m);
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        auto file = MidiFile::parse(cut);
        if (file) {
            MelodyLine line(*file);
            for (const MidiTrack& t : file->tracks)
                for (const MelodyNote& note : line.extract(t))
                    EXPECT_GT(note.length, 0);
        }
    }
}

}  // namespace
