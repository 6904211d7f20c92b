#include "RecordingTake.h"

namespace melodrift::sonobox {

void RecordingTake::Analyse()
{
    if (!analyser || origin > 0 || static_cast<std::int64_t>(captured.size()) <= -origin)
        return;
    const auto skip = static_cast<std::size_t>(-origin);
    analyser->Feed(captured.data() + skip, captured.size() - skip);
}

} // namespace melodrift::sonobox
