#include "ScreenRegistry.h"

#include <array>

#include "MainLogic.h"
#include "TProgressRunner.h"

namespace melodrift {

namespace {

struct Registry {
    std::array<PageFactory, kPageCount> pages;
    std::vector<FormSetup> setups;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

} // namespace

void SetPageFactory(int page, PageFactory factory)
{
    if (page >= 0 && page < kPageCount)
        TheRegistry().pages[static_cast<size_t>(page)] = std::move(factory);
}

void AddFormSetup(FormSetup setup)
{
    TheRegistry().setups.push_back(std::move(setup));
}

void ClearScreenRegistry()
{
    TheRegistry() = Registry{};
    SetProgressRunnerHook({});
}

PageFactory PageFactoryFor(int page)
{
    if (page < 0 || page >= kPageCount)
        return {};
    return TheRegistry().pages[static_cast<size_t>(page)];
}

const std::vector<FormSetup>& FormSetups()
{
    return TheRegistry().setups;
}

} // namespace melodrift
