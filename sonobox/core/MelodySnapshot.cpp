#include "MelodySnapshot.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace melodrift::sonobox {

MelodySnapshot::MelodySnapshot(PitchloreLibrary& recogniser, std::shared_ptr<const MonoBuffer> oldTake,
                               std::shared_ptr<const MonoBuffer> oldVoice,
                               std::vector<std::pair<double, double>> oldSegments)
    : take(std::move(oldTake)), voice(std::move(oldVoice)), segments(std::move(oldSegments)), m_recogniser(recogniser)
{
    if (!m_recogniser.Ready())
        return;
    std::error_code ec;
    std::string path = (std::filesystem::temp_directory_path(ec) / "melodrift-melody-XXXXXX").string();
    if (ec)
        return;
    int fd = mkstemp(path.data());
    if (fd < 0)
        return;
    close(fd);
    // The recogniser appends its block to an existing (here empty) file.
    if (m_recogniser.SaveProject(path.c_str()) > 0)
        m_path = std::move(path);
    else
        std::remove(path.c_str());
}

MelodySnapshot::~MelodySnapshot()
{
    if (!m_path.empty())
        std::remove(m_path.c_str());
}

bool MelodySnapshot::RestoreRecogniser() const
{
    return Valid() && m_recogniser.LoadProject(m_path.c_str(), 0, 0) > 0;
}

} // namespace melodrift::sonobox
