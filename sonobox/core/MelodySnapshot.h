#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AudioFormat.h"
#include "PitchloreLibrary.h"

namespace melodrift::sonobox {

// The melody take, the voice and the recogniser's melody as they were before
// a take; the recogniser's state goes through a scratch file it writes itself.
class MelodySnapshot {
public:
    MelodySnapshot(PitchloreLibrary& recogniser, std::shared_ptr<const MonoBuffer> take,
                   std::shared_ptr<const MonoBuffer> voice, std::vector<std::pair<double, double>> segments);
    ~MelodySnapshot();
    MelodySnapshot(const MelodySnapshot&) = delete;
    MelodySnapshot& operator=(const MelodySnapshot&) = delete;

    // False when the recogniser's melody could not be kept.
    bool Valid() const { return !m_path.empty(); }
    bool RestoreRecogniser() const;

    std::shared_ptr<const MonoBuffer> take;
    std::shared_ptr<const MonoBuffer> voice;
    std::vector<std::pair<double, double>> segments;

private:
    PitchloreLibrary& m_recogniser;
    std::string m_path;
};

} // namespace melodrift::sonobox
