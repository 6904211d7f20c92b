#pragma once

// The program's only top-level window: a borderless skinned frame with the
// band (system menu, login area, caption, step buttons, window buttons) over
// the page area of the six screens. It switches pages, enables steps, runs
// the project commands and receives the program's window messages.

#include <QAction>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>

#include "MessageDispatcher.h"
#include "ServiceEvents.h"

class QLabel;
class QMenu;
class QStackedWidget;

namespace melodrift {

struct AppSession;
class TLoginArea;
class TPNGButton;
class TScreenPage;
class TSettingsStore;

class TMainForm : public QWidget, public TMessageTarget {
    Q_OBJECT
public:
    static constexpr int kWidth = 810;
    static constexpr int kHeight = 590;
    static constexpr int kBandHeight = 90;

    TMainForm(AppSession& session, TSettingsStore& settings, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The engine part of the window's creation; false when the window must
    // close again (its message was shown).
    bool InitialiseEngines(const QString& commandLineFile);

    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;
    // A screen takes over one of the window's messages (usually to open its
    // dialog); an empty handler gives it back.
    using MessageHandler = std::function<intptr_t(intptr_t wParam, intptr_t lParam)>;
    void SetMessageHandler(uint32_t message, MessageHandler handler);
    AppSession& SessionRef() const { return m_session; }
    TSettingsStore& Settings() const { return m_settings; }
    void ShowPage(int page);
    int CurrentPage() const { return m_currentPage; }
    TScreenPage* Page(int page) const { return m_pages[page]; }

    // Commands of the system menu.
    void NewProjectCommand();
    void OpenProjectCommand(const QString& path = {});
    void OpenPendingFile();
    void SaveProjectCommand(bool saveAs);
    void HelpCommand();
    void ExitCommand();
    // The close handler's work: auto-save ended cleanly, engines shut down.
    void ShutdownWindow();
    // The session ends without the user (a signal, the display gone): a
    // changed song is kept in the auto-save for the next start, then the
    // engines stop in order. Asks nothing and shows nothing.
    void EndSession();
    void StepClick(int step);
    void AutoSaveTick();
    void OpenDroppedFile(const QString& path);

    // Where the file dialogs come from; tests answer them.
    std::function<QString(const QString& startPath)> chooseOpenPath;
    std::function<QString(const QString& startPath)> chooseSavePath;
    // The upload dialog: fills the song description block and the song's
    // name; false when the user cancels.
    std::function<bool(std::array<uint8_t, 1008>& block, QString& songName)> askUploadDetails;
    // The song management dialog: songId < 0 is the limit form; returns its result.
    std::function<int(int32_t songId)> showManageSong;
    // The update dialog, when the service announces a newer version.
    std::function<void()> showUpdateDialog;

    enum MenuItem { kItemNew, kItemOpen, kItemRecent, kItemSave, kItemSaveAs, kItemHelp = 6, kItemForum,
                    kItemMore, kItemAbout, kItemExit = 11, kMenuItems };
    QAction* MenuAction(int item) const { return m_menuActions[item]; }
    QMenu* RecentMenu() const { return m_recentMenu; }
    QTimer& AutoSaveTimer() { return m_autoSaveTimer; }
    int NoticeCount() const { return m_serviceEvents.Notices(); }
    int PersonalCount() const { return m_serviceEvents.Personal(); }
    TLoginArea& LoginArea() const { return *m_login; }

    // Controls, named as the form has always named them.
    QLabel* m_pImgBk;
    TPNGButton* m_btnSysMenu;
    QLabel* m_labCaption;
    QLabel* m_pImageStep;
    std::array<TPNGButton*, 5> m_btnSteps{};   // m_btnFirstStep .. m_btnFifthStep
    TPNGButton* m_btnHelpBox;
    TPNGButton* m_btnMinBox;
    TPNGButton* m_btnMaxBox;
    TPNGButton* m_btnRestBox;
    TPNGButton* m_btnCloseBox;
    QStackedWidget* m_pPgCtrl_Work;

    // Service and account display.
    void ShowServiceError(const QString& failure, int code);
    void ShowLoggingIn();
    void Logoff();
    void UploadSong();
    // Opens the service's web page number page in the browser.
    void OpenWebPage(int page);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildBand();
    void BuildPages();
    void BuildMenu();
    void LayoutBand();
    void RefillRecentMenu();
    void SetSaveItemsEnabled(bool enabled);
    void SetCaption(const QString& caption);
    void ApplyWindowState(int state);
    bool InTitleBand(const QPoint& at) const;

    bool AskToSave();
    void NewProjectBody();
    void OpenFile(const QString& path);
    void AfterOpen(bool restored);
    void HandleAutoSave(int mode);
    void RestoreAutoSave();
    void GotoStep(int page, intptr_t sender);
    void StepEnable(uint32_t mask);
    // Pages 3 and 4 need a base accompaniment; false when it cannot be made.
    bool EnsureBaseAccompaniment();
    void WriteSettings();

    void ServiceEvent(intptr_t wParam, intptr_t lParam);
    void LoginFinished(const ServiceEventAction& login);
    void ShowNotices();
    void OpenForum();

    AppSession& m_session;
    TSettingsStore& m_settings;
    std::array<TScreenPage*, 6> m_pages{};
    int m_currentPage = -1;
    int m_windowState = 0;              // remembered: 0 normal, 2 maximised
    bool m_closing = false;
    bool m_enginesStarted = false;
    bool m_running = false;             // the engines started completely
    QMenu* m_sysMenu;
    QMenu* m_recentMenu;
    std::array<QAction*, kMenuItems> m_menuActions{};
    QTimer m_autoSaveTimer;
    TServiceEvents m_serviceEvents;
    TLoginArea* m_login = nullptr;
    std::map<uint32_t, MessageHandler> m_messageHandlers;
};

} // namespace melodrift
