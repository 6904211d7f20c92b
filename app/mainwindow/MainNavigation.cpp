// The main window's messages, pages and steps, and its start and end.
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QUrl>

#include "AppSession.h"
#include "EngineTables.h"
#include "MainLogic.h"
#include "Pipeline.h"
#include "SettingsStore.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TLoginArea.h"
#include "TPNGButton.h"
#include "TScreenPage.h"

namespace melodrift {

bool TMainForm::InitialiseEngines(const QString& commandLineFile)
{
    const std::string appDir = ApplicationDirectory();
    const MDP_Window self = WindowHandle(this);
    const StepResult engine = InitialiseEngine(m_session, m_settings, self, appDir);
    m_enginesStarted = true;
    if (!engine.ok) {
        ShowMessageBox(QString::fromUtf8(engine.message), kMessageError);
        return false;
    }
    m_running = true;
    m_windowState = m_session.app.windowState;
    RefillRecentMenu();
    const StepResult service = StartOnlineService(m_session, m_settings, self, appDir);
    if (!service.ok) {
        ShowMessageBox(QString::fromUtf8(service.message), kMessageError);
        m_login->m_btnLogin->hide();
    } else if (m_session.loggingIn) {
        ShowLoggingIn();
    }
    m_menuActions[kItemForum]->setEnabled(!m_session.webAddress.empty());
    PostStartMessages(m_session, self, commandLineFile.toStdString());
    if (m_session.serviceRunning) {
        const int notices = Engines().cs.CS_GetNewNoticeNum(0);
        if (notices > 0) {
            m_serviceEvents.SetNotices(notices);
            m_login->UpdateNoticeBadge();
            m_login->SetNoticeHint(NoticeHintAtStart(notices));
        }
    }
    return true;
}

void TMainForm::SetMessageHandler(uint32_t message, MessageHandler handler)
{
    if (handler)
        m_messageHandlers[message] = std::move(handler);
    else
        m_messageHandlers.erase(message);
}

intptr_t TMainForm::HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    // Screens answer the messages whose dialogs they own.
    if (const auto found = m_messageHandlers.find(message); found != m_messageHandlers.end())
        return found->second(wParam, lParam);
    switch (message) {
    case UM_ACTIVATE_INSTANCE:
        if (isMinimized())
            ApplyWindowState(m_windowState);
        show();
        raise();
        activateWindow();
        return 1;
    case UM_OPEN_FILE:
        if (lParam == 0)
            OpenPendingFile();
        return 1;
    case UM_POPUP_SYSMENU: m_sysMenu->popup(QPoint(static_cast<int>(wParam), static_cast<int>(lParam))); return 1;
    case UM_NEW_PROJECT: NewProjectBody(); return 1;
    case UM_SAVE_PROJECT: SaveProjectCommand(false); return 1;
    case UM_STEP_ENABLE: StepEnable(static_cast<uint32_t>(wParam)); return 1;
    case UM_GOTO_STEP: GotoStep(static_cast<int>(wParam), lParam); return 1;
    case UM_RESTORE_AUTOSAVE: RestoreAutoSave(); return 1;
    case UM_AUTOSAVE: HandleAutoSave(static_cast<int>(wParam)); return 1;
    case UM_UPLOAD_SONG: UploadSong(); return 1;
    case UM_SERVICE_EVENT:
        ServiceEvent(wParam, lParam);
        return 1;
    case UM_MANUAL:
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(ApplicationDirectory()) +
                                                      QStringLiteral("Help/MelodriftManual.html")));
        return 1;
    case UM_ABOUT:
        ShowMessageBox(QStringLiteral("Melodrift %1").arg(QString::fromStdString(m_session.version)), kMessageInformation);
        return 1;
    case UM_LOGIN:
    case UM_EXPORT_SONG:
    case UM_MORE_SOFTWARE:
        // Their dialogs belong to screens that are not built yet.
        ShowMessageBox(QStringLiteral("此功能尚未完成。"), kMessageInformation);
        return 1;
    default: return 0;   // UM_SERVICE_FAILED and anything unknown
    }
}

void TMainForm::ShowPage(int page)
{
    if (page < 0 || page >= kPageCount)
        return;
    for (int i = 0; i < kStepCount; ++i)
        m_btnSteps[i]->SetDown(i == page);
    m_currentPage = page;
    m_pPgCtrl_Work->setCurrentIndex(page);
    if (page != 0) {
        if ((m_windowState == 2) != isMaximized())
            ApplyWindowState(m_windowState);
        m_btnMaxBox->SetEnabled(!isMaximized());
    } else {
        if (isMaximized()) {
            setWindowState(Qt::WindowNoState);   // the setup screen has a fixed size
        }
        m_btnMaxBox->SetEnabled(false);
    }
    m_pages[page]->resize(m_pPgCtrl_Work->size());
    m_pages[page]->EnterStep();
}

void TMainForm::StepClick(int step)
{
    if (step == m_currentPage)
        return;
    if (StepClickLeavesByStepBar(m_currentPage))
        m_session.song.SetFlag(kFlagLeftByStepBar, true);
    MDP_PostMessage(WindowHandle(this), UM_GOTO_STEP, step, reinterpret_cast<intptr_t>(WindowHandle(this)));
}

void TMainForm::GotoStep(int page, intptr_t sender)
{
    if (page < 0 || page >= kPageCount)
        return;
    if (m_currentPage >= 0)
        m_pages[m_currentPage]->LeaveStep(sender);
    if ((page == 3 || page == 4) && !EnsureBaseAccompaniment()) {
        m_session.song.SetFlag(kFlagLeftByStepBar, false);
        return;
    }
    if (StepMayChange(m_session.song.Flag(kFlagLeftByStepBar), m_currentPage))
        ShowPage(page);
    m_session.song.SetFlag(kFlagLeftByStepBar, false);
}

bool TMainForm::EnsureBaseAccompaniment()
{
    TSongModel& song = m_session.song;
    if (song.Flag(kFlagBaseAccompaniment) || !song.Flag(kFlagMelody))
        return true;
    // What the base screen's "generate" does, until that screen is built.
    if (BaseCompose(song))
        return true;
    ShowMessageBox(QStringLiteral("自动编曲失败！"), kMessageError);
    return false;
}

void TMainForm::StepEnable(uint32_t mask)
{
    const StepEnabling e = ApplyStepMask(mask, m_session.song.Flag(kFlagMelody), m_btnSteps[0]->Enabled());
    for (int i = 0; i < kStepCount; ++i)
        m_btnSteps[i]->SetEnabled(e.steps[i]);
    if (e.menuChanges)
        for (int item : {kItemNew, kItemOpen, kItemRecent, kItemSave, kItemSaveAs})
            m_menuActions[item]->setEnabled(e.menuEnabled);
}

void TMainForm::HelpCommand()
{
    if (m_currentPage == kHelpPage)
        return;
    m_pages[kHelpPage]->openedFrom = m_currentPage;
    MDP_PostMessage(WindowHandle(this), UM_GOTO_STEP, kHelpPage, 0);
}

void TMainForm::ExitCommand()
{
    if (!AskToSave())
        return;
    WriteSettings();
    if (m_currentPage == 1 && Engines().mm.MM_FreeRealTimeMIDIStream)
        Engines().mm.MM_FreeRealTimeMIDIStream(0);
    ShutdownWindow();
    m_closing = true;
    close();
}

void TMainForm::ShutdownWindow()
{
    m_autoSaveTimer.stop();
    m_login->StopTimers();
    if (!m_enginesStarted)
        return;
    // A start that failed leaves an auto-saved project for the next start.
    if (m_running)
        HandleAutoSave(2);
    m_running = false;
    ShutdownEngines(m_session);
    m_enginesStarted = false;
}

void TMainForm::EndSession()
{
    m_autoSaveTimer.stop();
    m_login->StopTimers();
    if (!m_enginesStarted)
        return;
    const TSongModel& song = m_session.song;
    if (m_running && song.Flag(kFlagMelody) && song.IsModified())
        HandleAutoSave(1); // kept, and marked in the settings for the restore
    m_autoSaveTimer.stop();
    m_running = false;
    ShutdownEngines(m_session);
    m_enginesStarted = false;
    m_closing = true;
}

void TMainForm::ShowNotices()
{
    m_pages[kHelpPage]->noticesWanted = true;
    if (m_currentPage == kHelpPage) {
        m_pages[kHelpPage]->EnterStep();
        return;
    }
    m_pages[kHelpPage]->openedFrom = m_currentPage;
    MDP_PostMessage(WindowHandle(this), UM_GOTO_STEP, kHelpPage, 0);
}

void TMainForm::WriteSettings() { m_settings.WriteSettings(m_session.song, m_session.app); }

} // namespace melodrift
