// The style info record: its initial state and the checks every record that
// comes from a file or from the service must pass.
#pragma once

#include <string>

#include "Patbank.h"

namespace melodrift::patbank {

// The record as the composer prepares it before asking for a style.
tagStyleInfo initialInfo();

// True when the record can be stored and handed out: positive id, metre
// 0..3, restSize 1780 and every text NUL-terminated inside its field.
// On failure *why names the first problem.
bool checkInfo(const tagStyleInfo& info, std::string* why);

} // namespace melodrift::patbank
