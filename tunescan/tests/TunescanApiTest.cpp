#include "Tunescan.h"

#include "MidiBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace testsupport = melodrift::testsupport;

namespace {

struct Read {
    int32_t rc = 0;
    int32_t TS = -9;
    int32_t tempo = -9;
    std::vector<int32_t> pitches;
    std::vector<int32_t> lengths;
};

Read retrive(const std::string& path, int32_t selector, int32_t capacity = 2000)
{
    Read r;
    r.pitches.assign(static_cast<size_t>(capacity), -7);
    r.lengths.assign(static_cast<size_t>(capacity), -7);
    int32_t count = capacity;
    r.rc = SM_RetriveMelody(path.c_str(), selector, &r.TS, &r.tempo, r.pitches.data(), r.lengths.data(), &count);
    if (r.rc == SM_OK) {
        r.pitches.resize(static_cast<size_t>(count));
        r.lengths.resize(static_cast<size_t>(count));
    }
    return r;
}

TEST(TunescanApi, ReportsMetreAndTempo)
{
    struct Case {
        int numerator, denominator, bpm;
        int32_t TS;
    } cases[] = {{4, 4, 120, 0}, {3, 4, 100, 1}, {3, 4, 130, 1}, {2, 4, 90, 2}, {6, 8, 75, 3}, {5, 4, 60, 0}};
    testsupport::Melody m{{{60, 192}, {-1, 96}, {65, 96}}};
    for (const Case& c : cases) {
        auto path = testsupport::WriteTemp("metre.mid", testsupport::MelodyFile(c.numerator, c.denominator, c.bpm, m));
        Read r = retrive(path, -1);
        ASSERT_EQ(r.rc, SM_OK);
        EXPECT_EQ(r.TS, c.TS) << c.numerator << "/" << c.denominator;
        EXPECT_EQ(r.tempo, c.bpm);
        EXPECT_EQ(r.pitches, (std::vector<int32_t>{60, SM_REST, 65}));
        EXPECT_EQ(r.lengths, (std::vector<int32_t>{192, 96, 96}));
    }
}

TEST(TunescanApi, SelectsTrackAndReportsFailures)
{
    testsupport::MidiBytes file(1, 96);
    file.Track().Metre(3, 4).Tempo(100).End();
    file.Track().Note(62, 96).Note(64, 48).End();
    file.Track().Note(50, 192).End();
    auto path = file.WriteFile("tracks.mid");

    Read first = retrive(path, -1);
    ASSERT_EQ(first.rc, SM_OK);
    EXPECT_EQ(first.pitches, (std::vector<int32_t>{62, 64}));
    Read third = retrive(path, 2);
    ASSERT_EQ(third.rc, SM_OK);
    EXPECT_EQ(third.pitches, (std::vector<int32_t>{50}));
    EXPECT_EQ(third.lengths, (std::vector<int32_t>{384}));

    EXPECT_EQ(retrive(path, 0).rc, SM_ERR_NO_NOTES);
    EXPECT_EQ(retrive(path, 3).rc, SM_ERR_NO_TRACK);
    EXPECT_EQ(retrive(path, -2).rc, SM_ERR_ARGUMENT);
    EXPECT_EQ(retrive("/nonexistent/melodrift.mid", -1).rc, SM_ERR_OPEN);
    EXPECT_EQ(retrive(testsupport::WriteTemp("text.mid", {'h', 'e', 'l', 'l', 'o'}), -1).rc, SM_ERR_FORMAT);
    EXPECT_EQ(retrive("/tmp", -1).rc, SM_ERR_OPEN);

    int32_t TS = 0, tempo = 0, count = 0, p = 0, l = 0;
    EXPECT_EQ(SM_RetriveMelody(path.c_str(), -1, &TS, &tempo, &p, &l, &count), SM_ERR_ARGUMENT);
    count = 1;
    EXPECT_EQ(SM_RetriveMelody(nullptr, -1, &TS, &tempo, &p, &l, &count), SM_ERR_ARGUMENT);
    EXPECT_EQ(SM_RetriveMelody(path.c_str(), -1, nullptr, &tempo, &p, &l, &count), SM_ERR_ARGUMENT);
}

TEST(TunescanApi, CutsMelodyAtCapacity)
{
    testsupport::Melody m{{{60, 96}, {62, 96}, {64, 96}, {65, 96}}};
    auto path = testsupport::WriteTemp("long.mid", testsupport::MelodyFile(4, 4, 120, m));
    Read r = retrive(path, -1, 3);
    ASSERT_EQ(r.rc, SM_OK);
    EXPECT_EQ(r.pitches, (std::vector<int32_t>{60, 62, 64}));
}

TEST(TunescanApi, ListsTracksWithTheirNotes)
{
    testsupport::MidiBytes file(1, 96);
    file.Track().Tempo(100).End();
    file.Track().Note(62, 96).Note(64, 48).End();
    auto path = file.WriteFile("list.mid");
    int32_t counts[4] = {-1, -1, -1, -1};
    int32_t n = 4;
    ASSERT_EQ(SM_GetMelodyFile(path.c_str(), counts, &n), SM_OK);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(counts[0], 0);
    EXPECT_EQ(counts[1], 2);
    EXPECT_EQ(counts[2], -1);
    n = 0;
    EXPECT_EQ(SM_GetMelodyFile(path.c_str(), nullptr, &n), SM_OK);
    EXPECT_EQ(n, 2);
}

}  // namespace
