#include "SaveLogic.h"

#include <QFileInfo>

namespace melodrift {

int ExportTypeOfName(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("mp3"))
        return kExportMp3;
    if (suffix == QLatin1String("wav"))
        return kExportWav;
    if (suffix == QLatin1String("mid"))
        return kExportMidi;
    return -1;
}

SaveDialogState::SaveDialogState(int fileType, int trackBits, QString name)
    : m_name(std::move(name)), m_fileType(fileType < kExportMp3 || fileType > kExportMidi ? kExportMp3 : fileType),
      m_compose(trackBits & kTrackAccompaniment), m_song(trackBits & kTrackVoice)
{
}

void SaveDialogState::Activate()
{
    const int type = ExportTypeOfName(m_name);
    if (type >= 0)
        m_fileType = type;
}

bool SaveDialogState::ToggleCompose()
{
    if (ExportTypeOfName(m_name) == kExportMidi)
        return false;
    m_compose = !m_compose;
    return true;
}

bool SaveDialogState::ToggleSong()
{
    if (ExportTypeOfName(m_name) == kExportMidi)
        return false;
    m_song = !m_song;
    return true;
}

bool SaveDialogState::OkEnabled() const
{
    switch (ExportTypeOfName(m_name)) {
    case kExportMp3:
    case kExportWav:
        return m_compose || m_song;
    case kExportMidi:
        // A MIDI file holds the accompaniment and the recognised melody,
        // whatever the checks say.
        return true;
    default:
        return false;
    }
}

FileDialogStart SaveDialogState::BrowseStart()
{
    const int type = ExportTypeOfName(m_name);
    if (type >= 0)
        m_fileType = type;
    FileDialogStart start;
    const QFileInfo info(m_name);
    if (!m_name.isEmpty()) {
        start.folder = info.path();
        start.fileName = info.fileName();
    }
    start.filterIndex = m_fileType + 1;
    static const char* const suffixes[] = {"mp3", "wav", "mid"};
    start.defaultSuffix = QString::fromLatin1(suffixes[m_fileType]);
    return start;
}

} // namespace melodrift
