// Log lines of the library, written to the platform's debug channel.
#pragma once

#include <string>

namespace tonalyze {

void logText(const std::string& text);

}  // namespace tonalyze
