#include "ExportFlow.h"

#include <QDir>
#include <QFileInfo>

#include "AppSession.h"
#include "TMessageForm.h"
#include "TProgressForm.h"
#include "TSaveForm.h"

namespace melodrift {

int RunExportFlow(QWidget* owner, AppSession& session)
{
    AppSettings& app = session.app;
    if (!app.lastSaveFile.empty() &&
        !QDir::setCurrent(QFileInfo(QString::fromStdString(app.lastSaveFile)).absolutePath()))
        app.lastSaveFile.clear();

    TSaveForm save(app.lastSaveType, app.lastSaveOption, QString::fromStdString(app.lastSaveFile), owner);
    if (save.ShowModal() != 1)
        return 2;
    const QString name = save.FileName();
    int type = ExportTypeOfName(name);
    if (type < 0)
        type = save.FileType();
    const int tracks = (save.ComposeChecked() ? kTrackAccompaniment : 0) | (save.SongChecked() ? kTrackVoice : 0);
    app.lastSaveType = type;
    app.lastSaveOption = tracks;
    app.lastSaveFile = name.toStdString();

    TProgressForm progress(session, owner);
    const int result = progress.RunExport(tracks, name, type);
    if (result == 1) {
        ShowMessageBox(QStringLiteral("文件已存储。"), 64);
        session.song.SetFlag(kFlagExported, true);
    } else if (result != 2) {
        // A full disk or a folder that cannot be written: say so rather
        // than leave the user believing the song was stored.
        ShowMessageBox(QStringLiteral("文件存储失败！\n请检查目标文件夹是否可写、磁盘空间是否足够。"), 16);
    }
    return result;
}

} // namespace melodrift
