// Parses the style source text (see styles/README.md) into a StyleSource.
// Every problem is reported with its line number; nothing is returned then.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "StyleSource.h"

namespace stylec {

struct SourceError {
    int line = 0; // 0: the file as a whole
    std::string message;
};

struct ParseResult {
    std::optional<StyleSource> style;
    std::vector<SourceError> errors; // in line order, at most kMaxErrors
};

constexpr size_t kMaxErrors = 50;

ParseResult parseStyleSource(const std::string& text);

} // namespace stylec
