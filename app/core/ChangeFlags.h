#pragma once

namespace melodrift {

// What a change tracker reports as changed since its snapshot.
enum ChangeFlag : int {
    kChangeKey = 1,
    kChangeBarCount = 2,
    kChangeChords = 4,
    kChangeFills = 8,
    kChangeStageCount = 16,
    kChangeStageBounds = 32,
    kChangePatterns = 64,
    kChangeStyles = 128,
};

} // namespace melodrift
