#include "TUploadFlow.h"

#include <QDir>
#include <QFile>
#include <array>
#include <cstring>

#include "AppSession.h"
#include "EngineTables.h"
#include "ServiceEvents.h"
#include "TMainForm.h"
#include "TManageSongForm.h"
#include "TMessageForm.h"
#include "TProgressRunner.h"

namespace melodrift {

namespace {

// A typed song name becomes a file name: no folders, no hidden files.
QString SafeFileName(QString name)
{
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("song") : name;
}

// Offsets of the description block's fields the flow itself sets.
constexpr size_t kMusicTypesOffset = 236;
constexpr int kMusicTypeSlots = 4;
constexpr uint8_t kUnusedMusicType = 0xFF;

} // namespace

QString TUploadFlow::UploadFolder()
{
    char dir[4096] = "";
    MDP_UserDataDir(dir, sizeof dir);
    return QString::fromUtf8(dir) + QStringLiteral("/Upload/");
}

int TUploadFlow::ManageSong(int32_t songId)
{
    if (m_form.showManageSong)
        return m_form.showManageSong(songId);
    TManageSongForm form(songId, &m_form);
    return form.exec();
}

bool TUploadFlow::UploadPermitted()
{
    ProgressOperation check;
    check.code = kOpUpload;
    check.userId = m_session.user.userId;
    TProgressRunner runner(QStringLiteral("正在验证上传许可"), &m_form);
    const int64_t code = runner.Run(std::move(check));
    if (code == CS_ERR_LIMIT) {
        ManageSong(-1);
        return false;
    }
    if (code != CS_OK) {
        m_form.ShowServiceError(QStringLiteral("验证失败!"), static_cast<int>(code));
        return false;
    }
    return true;
}

void TUploadFlow::Run()
{
    TSongModel& song = m_session.song;
    AppSettings& app = m_session.app;
    bool exported = false;
    if (song.Flag(kFlagExported) && app.lastSaveType == 0) {
        QFile test(QString::fromStdString(app.lastSaveFile));
        exported = test.open(QIODevice::ReadOnly);
    }
    if (!exported) {
        app.lastSaveFile.clear();
        song.SetFlag(kFlagExported, false);
    }
    if (!song.Flag(kFlagLoggedIn)) {
        m_form.HandleMessage(UM_LOGIN, 1, 0);
        if (!song.Flag(kFlagLoggedIn))
            return;
    }
    if (!UploadPermitted())
        return;

    std::array<uint8_t, CS_SONG_INFO_SIZE> block{};
    const int32_t size = CS_SONG_INFO_SIZE;
    std::memcpy(block.data(), &size, sizeof size);
    std::memset(block.data() + kMusicTypesOffset, kUnusedMusicType, kMusicTypeSlots);
    QString path;
    for (;;) {
        QString songName;
        const bool ok = m_form.askUploadDetails
                            ? m_form.askUploadDetails(block, songName)
                            : (ShowMessageBox(QStringLiteral("此功能尚未完成。"), kMessageInformation), false);
        if (!ok)
            break;
        if (!song.Flag(kFlagExported)) {
            QDir().mkpath(UploadFolder());
            path = UploadFolder() + SafeFileName(songName) + QStringLiteral(".mp3");
            ProgressOperation exportOp;
            exportOp.code = kOpExport;
            exportOp.path = path.toStdString();
            exportOp.trackBits = 0;
            exportOp.fileType = 0;
            TProgressRunner exporter(QStringLiteral("正在生成歌曲"), &m_form);
            // A song that could not be exported is not uploaded.
            if (exporter.Run(std::move(exportOp)) != 0 || exporter.Failed())
                break;
        } else if (path.isEmpty()) {
            path = QString::fromStdString(app.lastSaveFile);
        }
        song.SetFlag(kFlagExported, true);
        app.lastSaveFile = path.toStdString();
        app.lastSaveType = 0;

        CS_UploadResult result{};
        ProgressOperation upload;
        upload.code = kOpUpload;
        upload.userId = m_session.user.userId;
        upload.songInfo = block.data();
        upload.path = path.toStdString();
        upload.uploadResult = &result;
        TProgressRunner uploader(QStringLiteral("正在上传"), &m_form);
        const int64_t code = uploader.Run(std::move(upload));
        if (code == CS_OK) {
            ManageSong(result.songId);
            break;
        }
        if (code == CS_ERR_LIMIT) {
            if (ManageSong(-1) != kResultOk)
                break;
            continue;
        }
        if (code == CS_ERR_CANCELLED)
            continue;   // the upload dialog comes back with its entries
        m_form.ShowServiceError(QStringLiteral("上传失败!"), static_cast<int>(code));
        break;
    }
    m_form.repaint();
}

} // namespace melodrift
