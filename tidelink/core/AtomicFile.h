#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace melodrift::tidelink {

// Replaces a file in one step: writes a temporary file beside it, flushes it
// to disk and renames it over the old one, so a crash leaves the old or the
// new file, never half of one.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

// Reads a whole file; false when it cannot be read or exceeds limit bytes.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, size_t limit);

} // namespace melodrift::tidelink
