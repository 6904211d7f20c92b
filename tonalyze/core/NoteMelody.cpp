#include "NoteMelody.h"

#include <algorithm>
#include <numeric>

namespace tonalyze {

bool NoteSpan::hasPitchedNote() const
{
    return std::any_of(notes.begin(), notes.end(), [](uint8_t n) { return !isRest(n); });
}

int64_t NoteSpan::totalTicks() const
{
    return std::accumulate(lengths.begin(), lengths.end(), int64_t{0});
}

}  // namespace tonalyze
