// The project commands of the main window: new, open, recent, save, save as,
// drop, auto-save and the restore after an unclean exit.
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "AppSession.h"
#include "MainLogic.h"
#include "Pipeline.h"
#include "ProjectFile.h"
#include "SettingsStore.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TProgressRunner.h"
#include "TScreenPage.h"
#include "TimbreLibraries.h"

namespace melodrift {

namespace {

const QString kProjectFilter = QStringLiteral("编曲工程文件 (*.cpj)");

QString DialogPath(const QString& title, const QString& start, bool save)
{
    QFileDialog dialog(nullptr, title, start, kProjectFilter);
    dialog.setDefaultSuffix(QStringLiteral("cpj"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!start.isEmpty())
        dialog.selectFile(start);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                  : QString();
}

} // namespace

bool TMainForm::AskToSave()
{
    if (!NeedsSaveQuestion(m_session.song))
        return true;
    switch (ShowMessageBox(QStringLiteral("是否保存当前工程？"), kMessageQuestion)) {
    case kResultYes: SaveProjectCommand(false); return true;
    case kResultNo: return true;
    default: return false;
    }
}

void TMainForm::NewProjectBody()
{
    if (m_currentPage >= 0)
        m_pages[m_currentPage]->LeaveStep(0);
    SetCaption(CaptionFor({}));
    SetSaveItemsEnabled(false);
    NewSong(m_session.song);
    for (int i = 2; i < kStepCount; ++i)
        m_btnSteps[i]->SetEnabled(false);
    ResetEffects(m_session.song);
    ShowPage(1);
}

void TMainForm::NewProjectCommand()
{
    if (!AskToSave())
        return;
    NewProjectBody();
    WriteSettings();
}

void TMainForm::OpenPendingFile()
{
    OpenProjectCommand(QString::fromStdString(m_session.pendingFile));
}

void TMainForm::OpenProjectCommand(const QString& given)
{
    if (!AskToSave())
        return;
    if (m_currentPage >= 0)
        m_pages[m_currentPage]->LeaveStep(0);
    WriteSettings();
    QString path = given;
    if (path.isEmpty()) {
        const QString start = QString::fromStdString(m_session.song.projectPath);
        path = chooseOpenPath ? chooseOpenPath(start) : DialogPath(QStringLiteral("打开工程"), start, false);
        if (path.isEmpty())
            return;
    }
    OpenFile(path);
}

void TMainForm::OpenDroppedFile(const QString& path)
{
    if (!AskToSave())
        return;
    WriteSettings();
    OpenFile(path.left(255));
}

void TMainForm::OpenFile(const QString& path)
{
    HandleAutoSave(2);
    if (m_currentPage >= 1 && m_currentPage <= 4)
        m_pages[m_currentPage]->StopPlayback();
    ProgressOperation op;
    op.code = kOpOpenProject;
    op.song = &m_session.song;
    op.path = path.toStdString();
    TProgressRunner runner(QStringLiteral("正在打开工程"), this);
    const auto result = static_cast<uint32_t>(runner.Run(std::move(op)));
    if (ProjectOpened(result)) {
        AfterOpen(false);
    } else {
        ShowMessageBox(QString::fromUtf8(ProjectResultMessage(result)), kMessageError);
        RemoveRecentProject(m_session.app, path.toStdString());
        RefillRecentMenu();
        NewProjectBody();
        m_autoSaveTimer.start();
    }
}

void TMainForm::AfterOpen(bool restored)
{
    TSongModel& song = m_session.song;
    song.ResetUploadInfo();
    if (!ChooseTimbreLibrary(song, song.timbreLibraryName) && !song.fonts.empty())
        ShowMessageBox(QString::fromUtf8(kTimbreLibraryMissingMessage), kMessageInformation);
    SetCaption(CaptionFor(song.projectPath));
    if (!restored)
        AddRecentProject(m_session.app, song.projectPath);
    WriteSettings();
    SetSaveItemsEnabled(true);
    RefillRecentMenu();
    const OpenedPage target = PageAfterOpen(song, m_currentPage);
    if (target.needsBase)
        EnsureBaseAccompaniment();
    for (int i = 0; i < kStepCount; ++i)
        m_btnSteps[i]->SetEnabled(song.Flag(kFlagMelody) || i < 2);
    song.SetFlag(kFlagLeftByStepBar, true);
    MDP_PostMessage(WindowHandle(this), UM_GOTO_STEP, target.page, 0);
}

void TMainForm::SaveProjectCommand(bool saveAs)
{
    TSongModel& song = m_session.song;
    QString path = QString::fromStdString(song.projectPath);
    if (saveAs || path.isEmpty()) {
        QString start = path;
        if (start.isEmpty())
            start = ProposedFileName(song.metre, song.tempo) + QStringLiteral(".cpj");
        path = chooseSavePath ? chooseSavePath(start) : DialogPath(QStringLiteral("保存工程"), start, true);
        if (path.isEmpty())
            return;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".cpj");
    }
    HandleAutoSave(2);
    const int page = m_currentPage == kHelpPage ? m_pages[kHelpPage]->openedFrom
                                                : m_currentPage;
    song.openStep = page;
    ProgressOperation op;
    op.code = kOpSaveProject;
    op.song = &song;
    op.path = path.toStdString();
    TProgressRunner runner(QStringLiteral("正在保存工程"), this);
    if (runner.Run(std::move(op)) == 1) {
        ShowMessageBox(QStringLiteral("工程文件保存成功。"), kMessageInformation);
        SetCaption(CaptionFor(song.projectPath));
        AddRecentProject(m_session.app, song.projectPath);
        WriteSettings();
        SetSaveItemsEnabled(true);
        RefillRecentMenu();
    } else {
        // The song stays as it is; the user must not believe it was stored.
        ShowMessageBox(QStringLiteral("工程文件保存失败！\n请检查目标文件夹是否可写、磁盘空间是否足够。"), 16);
    }
    m_autoSaveTimer.start();
}

void TMainForm::AutoSaveTick()
{
    const TSongModel& song = m_session.song;
    if (m_menuActions[kItemSave]->isEnabled() && song.Flag(kFlagMelody) && song.IsModified())
        SaveProject(m_session.song, AutoSaveFilePath(), nullptr, &m_settings);
}

void TMainForm::HandleAutoSave(int mode)
{
    m_autoSaveTimer.stop();
    if (mode == 1) {
        SaveProject(m_session.song, AutoSaveFilePath(), nullptr, &m_settings);
        m_autoSaveTimer.start();
    } else if (mode == 2) {
        m_session.song.SetFlag(kFlagAutoSaved, false);
        m_settings.WriteAutoSaveSettings(m_session.song);
        QFile::remove(QString::fromStdString(AutoSaveFilePath()));
    }
}

void TMainForm::RestoreAutoSave()
{
    TSongModel& song = m_session.song;
    m_settings.ReadAutoSaveProject(song);
    const std::string projectPath = song.projectPath;
    const QString file = QString::fromStdString(AutoSaveFilePath());
    if (QFile::exists(file)) {
        TMessageForm* form = MessageForm();
        if (form)
            form->SetYesNoCaptions(QStringLiteral("恢复工程"), QStringLiteral("放弃恢复工程"));
        const int answer = ShowMessageBox(QStringLiteral("将恢复上次未保存的工程。\n是否恢复工程?"), kMessageQuestionYesNo);
        if (form)
            form->SetYesNoCaptions({}, {});
        if (answer == kResultYes) {
            if (ProjectOpened(OpenProject(song, file.toStdString(), nullptr))) {
                // The restored song belongs to its project, not to the auto-save file.
                song.projectPath = projectPath;
                // Nothing of it is saved yet: keep the ask-to-save rule armed.
                song.ResetSavedCopy();
                AfterOpen(true);
                if (projectPath.empty())
                    SetSaveItemsEnabled(true);
            } else {
                ShowMessageBox(QStringLiteral("恢复工程无效"), kMessageError);
                NewProjectBody();
            }
        } else {
            song.projectPath.clear();
        }
    } else {
        song.projectPath.clear();
    }
    song.SetFlag(kFlagAutoSaved, false);
    m_settings.WriteAutoSaveSettings(song);
}

} // namespace melodrift
