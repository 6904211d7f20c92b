// The account side of the main window: login display, notice badge, the
// service's events and errors, and the upload of the finished song.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <cstring>

#include "AppSession.h"
#include "EngineTables.h"
#include "MainLogic.h"
#include "SettingsStore.h"
#include "SkinArt.h"
#include "TMainForm.h"
#include "TManageSongForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TProgressRunner.h"

namespace melodrift {

void TMainForm::ShowServiceError(const QString& failure, int code)
{
    ShowMessageBox(ServiceErrorText(failure, code), kMessageError);
}

void TMainForm::ShowLoggingIn()
{
    m_btnLogin->hide();
    m_lblLoging->show();
    m_btnCancelLog->show();
    m_panelNoticeNum->setParent(this);
    m_panelNoticeNum->move(138, 2);
}

void TMainForm::ShowUserPanel()
{
    const auto& user = m_session.user;
    m_btnLogin->hide();
    m_lblLoging->hide();
    m_btnCancelLog->hide();
    QPixmap picture(QString::fromStdString(ApplicationDirectory()) + QStringLiteral("header/default.png"));
    if (picture.isNull())
        picture = skin::ButtonStrip(24, 24, 1, {}, skin::Glyph::User);
    m_imgUserIcon->setPixmap(picture);
    const QString nickname = QString::fromUtf8(user.nickname, static_cast<int>(strnlen(user.nickname, sizeof user.nickname)));
    const QString name = QString::fromUtf8(user.userName, static_cast<int>(strnlen(user.userName, sizeof user.userName)));
    m_lblUsername->setText(nickname.isEmpty() ? name : nickname);
    m_panelUserInfo->show();
    m_panelNoticeNum->setParent(m_panelUserInfo);
    m_panelNoticeNum->move(94, 0);
}

void TMainForm::Logoff()
{
    if (Engines().cs.CS_Logoff)
        Engines().cs.CS_Logoff();
    m_session.loggingIn = false;
    m_lblLoging->hide();
    m_btnCancelLog->hide();
    m_panelUserInfo->hide();
    if (!m_session.song.Flag(kFlagForcedUpdate))
        m_btnLogin->show();
    m_panelNoticeNum->setParent(this);
    m_panelNoticeNum->move(124, 2);
    char name[sizeof m_session.user.userName];
    std::memcpy(name, m_session.user.userName, sizeof name);
    std::memset(&m_session.user, 0, sizeof m_session.user);
    std::memcpy(m_session.user.userName, name, sizeof name);
    m_session.song.SetFlag(kFlagLoggedIn, false);
    m_personal = 0;
    UpdateNoticeBadge();
    m_pbUserNoticeNum->setToolTip(NoticeHintLoggedOff(m_notices));
}

void TMainForm::LoginFinished(int code)
{
    m_session.loggingIn = false;
    if (code == 0) {
        ShowUserPanel();
        m_session.song.SetFlag(kFlagLoggedIn, true);
        m_hoverStarted = false;
        if (m_session.serviceRunning && Engines().cs.CS_GetNewNoticeNum) {
            Engines().cs.CS_GetNewNoticeNum(0);
            Engines().cs.CS_GetNewNoticeNum(m_session.user.userId);
        }
        UpdateNoticeBadge();
        return;
    }
    Logoff();
    ShowServiceError(QStringLiteral("登录失败!"), code);
    m_settings.ForgetLogin();
    if (code == 32773 || code == 32774)
        MDP_PostMessage(WindowHandle(this), UM_LOGIN, 0, 0);
}

void TMainForm::ServiceEvent(int eventClass, int code, intptr_t lParam)
{
    switch (eventClass) {
    case 0x22: LoginFinished(code); break;
    case 0x96:
        if (code != 0)
            break;
        if ((lParam >> 16) != 0)
            m_personal = static_cast<int>(lParam & 0xFFFF);
        else
            m_notices = static_cast<int>(lParam & 0xFFFF);
        UpdateNoticeBadge();
        break;
    case 2:
        if (code == 3) {
            Logoff();
            m_session.song.SetFlag(kFlagForcedUpdate, true);
            m_btnLogin->hide();
        }
        if (code == 2 || code == 3)
            // The update dialog is not built yet; its message stands in.
            ShowMessageBox(m_session.song.Flag(kFlagForcedUpdate)
                               ? QStringLiteral("当前版本下，用户将无法进行登录\n账号和全曲操作，建议升级到最新\n版本。")
                               : QStringLiteral("新的版本已发布,建议立即更新。"),
                           kMessageInformation);
        break;
    default: break;
    }
}

void TMainForm::UpdateNoticeBadge()
{
    const bool loggedIn = m_session.song.Flag(kFlagLoggedIn);
    const int shown = m_notices + (loggedIn ? m_personal : 0);
    m_panelNoticeNum->setVisible(shown > 0);
    if (loggedIn)
        m_pbUserNoticeNum->setToolTip(NoticeHintLoggedIn(m_notices, m_personal));
    m_pbUserNoticeNum->update();
}

void TMainForm::PaintNoticeBadge()
{
    QPainter p(m_pbUserNoticeNum);
    const int size = m_pbUserNoticeNum->height();
    const QPixmap badge = skin::NoticeBadge(size);
    p.drawPixmap(0, 0, badge, m_badgeHover ? size : 0, 0, size, size);
    const int count = m_notices + (m_session.song.Flag(kFlagLoggedIn) ? m_personal : 0);
    const QString text = QString::number(count);
    p.setFont(skin::SkinFont(11, true));
    p.setPen(Qt::white);
    const QFontMetrics metrics(p.font());
    const int x = (size - metrics.horizontalAdvance(text) + 1) / 2;
    const int y = (size - metrics.height()) / 2 + metrics.ascent();
    p.drawText(x, y, text);
}

QString TMainForm::UploadFolder()
{
    char dir[4096] = "";
    MDP_UserDataDir(dir, sizeof dir);
    return QString::fromUtf8(dir) + QStringLiteral("/Upload/");
}

int TMainForm::ManageSong(int32_t songId)
{
    if (showManageSong)
        return showManageSong(songId);
    TManageSongForm form(songId, this);
    return form.exec();
}

bool TMainForm::UploadPermitted()
{
    ProgressOperation check;
    check.code = kOpUpload;
    check.userId = m_session.user.userId;
    TProgressRunner runner(QStringLiteral("正在验证上传许可"), this);
    const int64_t code = runner.Run(std::move(check));
    if (code == 32784) {
        ManageSong(-1);
        return false;
    }
    if (code != 0) {
        ShowServiceError(QStringLiteral("验证失败!"), static_cast<int>(code));
        return false;
    }
    return true;
}

namespace {

// A typed song name becomes a file name: no folders, no hidden files.
QString SafeFileName(QString name)
{
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("song") : name;
}

} // namespace

void TMainForm::UploadSong()
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
        HandleMessage(UM_LOGIN, 1, 0);
        if (!song.Flag(kFlagLoggedIn))
            return;
    }
    if (!UploadPermitted())
        return;

    std::array<uint8_t, 1008> block{};
    const int32_t size = 1008;
    std::memcpy(block.data(), &size, sizeof size);
    std::memset(block.data() + 236, 0xFF, 4);
    QString path;
    for (;;) {
        QString songName;
        const bool ok = askUploadDetails ? askUploadDetails(block, songName)
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
            TProgressRunner exporter(QStringLiteral("正在生成歌曲"), this);
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
        TProgressRunner uploader(QStringLiteral("正在上传"), this);
        const int64_t code = uploader.Run(std::move(upload));
        if (code == 0) {
            ManageSong(result.songId);
            break;
        }
        if (code == 32784) {
            if (ManageSong(-1) != 1)
                break;
            continue;
        }
        if (code == 32777)
            continue;   // cancelled: the upload dialog comes back
        ShowServiceError(QStringLiteral("上传失败!"), static_cast<int>(code));
        break;
    }
    repaint();
}

} // namespace melodrift
