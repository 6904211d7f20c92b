#include "TempFolder.h"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace melodrift::testsupport {

TempFolder::TempFolder(const std::string& label)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (label + "-XXXXXX")).string();
    // mkdtemp makes the name unique across the tests ctest runs in parallel.
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder " + pattern);
    m_path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::vector<std::string> TempFolder::Files() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_path, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace melodrift::testsupport
