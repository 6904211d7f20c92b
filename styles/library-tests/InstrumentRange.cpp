#include "InstrumentRange.h"

namespace stylelib {

namespace {

struct Family {
    int first, last;
    InstrumentRange range;
};

// Practical ranges of the instruments, a little wider than the written
// parts; basses use the composer's fold range so a wrong fold shows.
const Family kFamilies[] = {
    {0, 7, {"piano", 21, 108, Role::Chords}},
    {8, 15, {"chromatic percussion", 48, 108, Role::Colour}},
    {16, 20, {"organ", 24, 96, Role::Chords}},
    {21, 21, {"accordion", 41, 89, Role::Chords}},
    {22, 23, {"harmonica", 55, 91, Role::Colour}},
    {24, 31, {"guitar", 40, 90, Role::Chords}},
    {32, 39, {"bass", 28, 50, Role::Bass}},
    {40, 40, {"violin", 55, 103, Role::Colour}},
    {41, 45, {"solo strings", 28, 96, Role::Colour}},
    {46, 46, {"harp", 23, 103, Role::Colour}},
    {47, 47, {"timpani", 36, 57, Role::Colour}},
    {48, 55, {"ensemble", 28, 96, Role::Colour}},
    {56, 56, {"trumpet", 52, 86, Role::Colour}},
    {57, 57, {"trombone", 34, 75, Role::Colour}},
    {58, 58, {"tuba", 24, 65, Role::Bass}},
    {59, 63, {"brass", 34, 88, Role::Colour}},
    {64, 67, {"saxophone", 36, 88, Role::Colour}},
    {68, 71, {"reed", 34, 94, Role::Colour}},
    {72, 72, {"piccolo", 74, 108, Role::Colour}},
    {73, 79, {"flute", 60, 98, Role::Colour}},
    {80, 95, {"synth", 24, 108, Role::Colour}},
    {104, 108, {"ethnic plucked", 40, 96, Role::Colour}},
    {109, 111, {"ethnic melody", 55, 103, Role::Colour}},
};

}  // namespace

InstrumentRange instrumentRange(int channel, int program)
{
    if (channel == 9)
        return {"drum kit", 27, 87, Role::Drums};
    for (const Family& f : kFamilies)
        if (program >= f.first && program <= f.last)
            return f.range;
    return {"other", 21, 108, Role::Colour};
}

}  // namespace stylelib
