// Whole-file reads with a size cap, crash-safe writes, folder listing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace melodrift::patbank {

// The file's bytes, or nothing when it is missing, unreadable or larger than maxBytes.
std::optional<std::vector<uint8_t>> readFile(const std::string& path, uint64_t maxBytes);

// The first n bytes (fewer when the file is shorter) and the file's size.
std::optional<std::vector<uint8_t>> readFileHead(const std::string& path, size_t n, uint64_t& fileSize);

// Writes to a temporary file beside the target, flushes it to disk and
// renames it over the target, so a crash leaves either the old or the new
// file whole. False (target untouched) on any failure.
bool writeFileDurably(const std::string& path, std::span<const uint8_t> bytes);

// Names of the regular files in folder whose names end with suffix, sorted.
std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix);

} // namespace melodrift::patbank
