// Melodies for tests written as text: "C4:1 D4:0.5 r:2 #F4:1.5" (note or r
// for a rest, colon, length in beats; 192 ticks a beat).
#pragma once

#include <cmath>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "NoteMelody.h"

namespace tonalyze::test {

constexpr int kTicksPerBeat = 192;

struct Melody {
    std::vector<uint8_t> notes;
    std::vector<uint16_t> lengths;

    NoteSpan span() const { return {notes, lengths}; }
    int32_t count() const { return static_cast<int32_t>(notes.size()); }
    Melody& operator+=(const Melody& other)
    {
        notes.insert(notes.end(), other.notes.begin(), other.notes.end());
        lengths.insert(lengths.end(), other.lengths.begin(), other.lengths.end());
        return *this;
    }
    Melody transposed(int semitones) const
    {
        Melody m = *this;
        for (auto& n : m.notes)
            if (n < 128)
                n = static_cast<uint8_t>(n + semitones);
        return m;
    }
};

inline int noteNumber(const std::string& name)
{
    static const char* kNames[] = {"C", "#C", "D", "#D", "E", "F", "#F", "G", "#G", "A", "#A", "B"};
    std::string pitch = name.substr(0, name.size() - 1);
    if (pitch.size() == 2 && pitch[0] == 'b') {  // bE -> #D
        static const char kFlat[] = {'D', 'E', 'G', 'A', 'B'};
        static const char* kSharp[] = {"#C", "#D", "#F", "#G", "#A"};
        for (int i = 0; i < 5; ++i)
            if (pitch[1] == kFlat[i])
                pitch = kSharp[i];
    }
    const int octave = name.back() - '0';
    for (int i = 0; i < 12; ++i)
        if (pitch == kNames[i])
            return 12 * (octave + 1) + i;
    throw std::invalid_argument("bad note " + name);
}

inline Melody parseMelody(const std::string& text, int ticksPerBeat = kTicksPerBeat)
{
    Melody m;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        const auto colon = token.find(':');
        const std::string name = token.substr(0, colon);
        const double beats = std::stod(token.substr(colon + 1));
        m.notes.push_back(name == "r" ? 128 : static_cast<uint8_t>(noteNumber(name)));
        m.lengths.push_back(static_cast<uint16_t>(std::lround(beats * ticksPerBeat)));
    }
    return m;
}

}  // namespace tonalyze::test
