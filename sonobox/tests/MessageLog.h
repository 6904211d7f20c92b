#pragma once

#include "PostedMessages.h"

namespace melodrift::sonobox::test {

using MessageLog = testsupport::PostedMessages;
using testsupport::PostedMessage;

} // namespace melodrift::sonobox::test
