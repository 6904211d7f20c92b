#pragma once

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.

#include <filesystem>
#include <string>
#include <vector>

namespace melodrift::testsupport {

class TempFolder {
public:
    // label names the folder (label-XXXXXX) so a leftover says whose it is.
    explicit TempFolder(const std::string& label = "melodrift-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string Root() const { return m_path.string(); }
    // The path of name inside the folder (nothing is created).
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Files() const;

private:
    std::filesystem::path m_path;
};

} // namespace melodrift::testsupport
