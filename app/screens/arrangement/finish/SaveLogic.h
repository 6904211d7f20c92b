#pragma once

// The save dialog's decisions without pixels: which file type a name means,
// when OK may be pressed, when the track checks may change, and how the file
// dialog starts.

#include <QString>

namespace melodrift {

enum ExportFileType : int { kExportMp3 = 0, kExportWav = 1, kExportMidi = 2 };
enum ExportTrackBit : int { kTrackVoice = 1, kTrackAccompaniment = 2 };

// 0 MP3, 1 WAV, 2 MIDI by the name's extension (any case); -1 for others.
int ExportTypeOfName(const QString& name);

struct FileDialogStart {
    QString folder;
    QString fileName;
    int filterIndex = 1;        // 1 MP3, 2 WAV, 3 MIDI
    QString defaultSuffix;
};

class SaveDialogState {
public:
    SaveDialogState(int fileType, int trackBits, QString name);

    // The dialog shows: the type follows the name, the OK rule runs.
    void Activate();
    void SetName(const QString& name) { m_name = name; }
    // false while the name is a MIDI file: its tracks are fixed.
    bool ToggleCompose();
    bool ToggleSong();
    bool OkEnabled() const;
    FileDialogStart BrowseStart();

    const QString& Name() const { return m_name; }
    int FileType() const { return m_fileType; }
    bool Compose() const { return m_compose; }
    bool Song() const { return m_song; }
    int TrackBits() const { return (m_compose ? kTrackAccompaniment : 0) | (m_song ? kTrackVoice : 0); }

private:
    QString m_name;
    int m_fileType;
    bool m_compose;
    bool m_song;
};

} // namespace melodrift
