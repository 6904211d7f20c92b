#include "StyleDialog.h"

#include "AppSession.h"
#include "TStyleSelForm.h"

namespace melodrift {

int SongModeHint(const TSongModel& song)
{
    if (song.bars.empty() || song.bars[0].chords[0] < 0)
        return -1;
    const int quality = song.bars[0].chords[0] % 4;
    return quality == 1 || quality == 3 ? 1 : 0;
}

bool RunStyleDialog(QWidget* parent, AppSession& session, StyleDialogInput& io)
{
    TSongModel& song = session.song;
    const int32_t songStyle = song.styleId;
    const std::string songStyleFile = song.styleFileName;
    bool chosen = false;
    {
        TStyleSelForm form(song, io, song.Flag(kFlagLoggedIn), parent);
        chosen = form.exec() == QDialog::Accepted;
        if (chosen)
            io = form.Output();
    }
    if (!chosen && song.styleId != songStyle) {
        // A preview on the song composed it in another style.
        song.styleId = songStyle;
        song.styleFileName = songStyleFile;
        song.SetFlag(kFlagBaseAccompaniment, false);
    }
    return chosen;
}

int ChooseStyle(QWidget* parent, AppSession& session, int currentStyleId)
{
    StyleDialogInput io;
    io.styleId = currentStyleId;
    io.styleFileName = currentStyleId == session.song.styleId ? session.song.styleFileName : std::string();
    io.fromBaseScreen = true;
    io.modeHint = SongModeHint(session.song);
    return RunStyleDialog(parent, session, io) ? io.styleId : -1;
}

} // namespace melodrift
