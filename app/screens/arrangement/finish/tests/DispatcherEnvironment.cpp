// The finishing screens' tests hear what the engine posts through the
// window's own message dispatcher, as the program does.
#include <gtest/gtest.h>

#include "MessageDispatcher.h"

namespace {

class DispatcherEnvironment : public testing::Environment {
public:
    void SetUp() override { melodrift::InstallMessageDispatcher(); }
};

[[maybe_unused]] const testing::Environment* const g_dispatcher =
    testing::AddGlobalTestEnvironment(new DispatcherEnvironment);

} // namespace
