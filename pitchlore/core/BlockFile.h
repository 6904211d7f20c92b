// Writing an analysis block into a file somebody else owns (appended or at an
// offset) and reading one back with its size checked against the file.
#pragma once

#include "AnalysisBlock.h"

#include <cstdint>
#include <optional>

namespace pitchlore {

class BlockFile {
public:
    enum class Status { Done, CannotOpen, WriteFailed, Damaged, Empty };

    struct Outcome {
        Status status = Status::CannotOpen;
        int64_t storedSize = 0;  // the block's size field, when it was read
    };

    // Appends at the end; a failed write cuts the file back to its old length.
    static Status append(const char* path, const std::vector<uint8_t>& block);
    // Overwrites at offset (which may lie at or past the end).
    static Status writeAt(const char* path, int64_t offset, const std::vector<uint8_t>& block);
    // Reads the block at offset and loads it; the analyser is untouched unless
    // the status is Done.
    static Outcome load(const char* path, int64_t offset, AnalysisBlock::Layout layout, Analyser& analyser);
};

}  // namespace pitchlore
