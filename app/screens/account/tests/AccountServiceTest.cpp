// The account screens in the main window against the real service: login,
// registration and the remembered login, the upload with its description,
// questions and notices on the help page, the update dialog.
#include <QComboBox>
#include <QCoreApplication>
#include <QRadioButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QElapsedTimer>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>

#include "AccountDialogs.h"
#include "ManualWindow.h"
#include "TInfoForm.h"
#include "AppSession.h"
#include "EngineTables.h"
#include "FakeEngine.h"
#include "MainLogic.h"
#include "RegisterScreens.h"
#include "ScreenRegistry.h"
#include "ServiceHarness.h"
#include "UrlCatcher.h"
#include "SettingsStore.h"
#include "THelpForm.h"
#include "TLoginArea.h"
#include "TLoginForm.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TProgressForm.h"
#include "TProgressRunner.h"
#include "TSkinScrollBar.h"
#include "TUpdateForm.h"
#include "TUploadForm.h"

using namespace melodrift;

namespace {

QString Shot(const QString& name)
{
    QDir().mkpath(QStringLiteral(MELODRIFT_SCREENSHOT_DIR));
    return QStringLiteral(MELODRIFT_SCREENSHOT_DIR "/") + name + QStringLiteral(".png");
}

// Closes the progress dialog of the operation with this caption (the user's
// cancel) once the operation is under way: after its first progress report,
// or a while after the dialog showed for one without reports. A cancel that
// comes before the service call has begun is not seen by the service.
void CancelProgress(const QString& caption, bool afterProgress)
{
    auto* timer = new QTimer;
    auto* shownFor = new QElapsedTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, shownFor, caption, afterProgress] {
        auto* progress = qobject_cast<TProgressForm*>(QApplication::activeModalWidget());
        if (!progress || progress->m_lblCaption->text() != caption)
            return;
        if (!shownFor->isValid())
            shownFor->start();
        if (afterProgress ? progress->Bar().Position() == 0 : shownFor->elapsed() < 500)
            return;
        progress->CloseClick();
        delete shownFor;
        timer->deleteLater();
    });
    timer->start(5);
}

void Save(QWidget& widget, const QString& name) { ASSERT_TRUE(widget.grab().save(Shot(name))) << name.toStdString(); }

// What a test does with each dialog that would be shown.
using DialogAnswer = std::function<void(QDialog&)>;

class AccountServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setenv("MELODRIFT_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8().constData(), 1);
        m_service = std::make_unique<test::TServiceProcess>(m_dir.path());
        ASSERT_NE(m_service->Port(), 0) << "the service did not start";
        // The service's own default would have this version update first.
        const QString version = QString::fromStdString(FormatVersion(CurrentProgramVersion()));
        ASSERT_EQ(m_service->Admin({QStringLiteral("set-versions"), version, QStringLiteral("0.0.0.0")}), 0);
        setenv("MELODRIFT_SERVICE", m_service->Address().toUtf8().constData(), 1);
        test::InstallFakeEngine();
        ASSERT_TRUE(test::BindRealTidelink());
        InstallMessageDispatcher();
        TMessageForm::SetScript([this](const QString& text, int flags) {
            m_messages << QStringLiteral("%1 %2").arg(flags).arg(text);
            return static_cast<int>(kResultOk);
        });
        SetDialogHook([this](QDialog& dialog) {
            ++m_dialogs;
            if (m_answers.empty()) {
                dialog.reject();
                return;
            }
            const DialogAnswer answer = m_answers.front();
            m_answers.erase(m_answers.begin());
            try {
                answer(dialog);
            } catch (const std::exception&) {
                ADD_FAILURE() << "an unexpected dialog: " << dialog.metaObject()->className();
                dialog.reject();
            }
        });
        m_settings = std::make_unique<TSettingsStore>(m_dir.filePath(QStringLiteral("s.ini")).toStdString());
        RegisterAccountScreens();
        // The window's own long operations run in the progress dialog too, as
        // the finishing screens arrange in the program.
        SetProgressRunnerHook([this](QWidget* parent, ProgressOperation op) {
            TProgressForm progress(m_session, parent);
            const int result = progress.Run(std::move(op));
            return ProgressOutcome{progress.WorkerResult(), result != 1 && result != 2};
        });
    }

    void TearDown() override
    {
        StopProgram();
        ClearScreenRegistry();
        SetProgressRunnerHook({});
        SetDialogHook({});
        TMessageForm::SetScript({});
        m_service.reset();
        unsetenv("MELODRIFT_SERVICE");
        unsetenv("MELODRIFT_HOME");
    }

    // The program's start: window, engines, service, remembered login.
    void StartProgram()
    {
        m_form = std::make_unique<TMainForm>(m_session, *m_settings);
        m_form->show();
        ASSERT_TRUE(m_form->InitialiseEngines({}));
        ASSERT_TRUE(m_session.serviceRunning);
        QCoreApplication::processEvents();
    }

    void StopProgram()
    {
        if (!m_form)
            return;
        Engines().cs.CS_DestroyService();
        m_session.serviceRunning = false;
        m_form.reset();
        m_session.song.SetFlag(kFlagLoggedIn, false);
    }

    void AddUser(const char* name, const char* password, const char* nickname)
    {
        ASSERT_EQ(m_service->Admin({QStringLiteral("add-user"), QString::fromUtf8(name), QString::fromUtf8(password),
                                    QString::fromUtf8(nickname), QStringLiteral("--hash-iterations"),
                                    QStringLiteral("1000")}),
                  0);
    }

    // Answers the next login dialog with these entries.
    void AnswerLogin(const char* name, const char* password, bool registering = false, const char* shot = nullptr)
    {
        m_answers.push_back([=](QDialog& dialog) {
            auto* login = dynamic_cast<TLoginForm*>(&dialog);
            ASSERT_NE(login, nullptr) << "a login dialog was expected";
            if (registering)
                login->SwitchToRegistration();
            login->m_editUsername->setText(QString::fromUtf8(name));
            login->m_editPassword->setText(QString::fromUtf8(password));
            login->m_editConfirm->setText(QString::fromUtf8(password));
            if (shot)
                Save(*login, QString::fromUtf8(shot));
            login->Confirm();
        });
    }

    bool LoggedIn() const { return m_session.song.Flag(kFlagLoggedIn); }

    // A registration needs a greeted service: the first notice count marks it.
    void WaitForGreeting()
    {
        ASSERT_TRUE(test::WaitUntil([this] { return m_form->NoticeCount() > 0; })) << "the service did not greet";
    }

    void PostNotice(const char* title, const char* text)
    {
        ASSERT_EQ(m_service->Admin({QStringLiteral("post-notice"), QString::fromUtf8(title), QString::fromUtf8(text)}), 0);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<test::TServiceProcess> m_service;
    AppSession m_session;
    std::unique_ptr<TSettingsStore> m_settings;
    std::unique_ptr<TMainForm> m_form;
    QStringList m_messages;
    std::vector<DialogAnswer> m_answers;
    int m_dialogs = 0;
    test::TUrlCatcher m_browser;
};

} // namespace

TEST_F(AccountServiceTest, RegisterLogOffComeBackWithTheRememberedLoginAndMistypes)
{
    PostNotice("欢迎", "欢迎使用");
    StartProgram();
    WaitForGreeting();
    // Register, with automatic login ticked.
    m_answers.push_back([](QDialog& dialog) {
        auto& login = dynamic_cast<TLoginForm&>(dialog);
        Save(login, QStringLiteral("login"));
        EXPECT_FALSE(login.m_editConfirm->isVisibleTo(&login));
        ASSERT_TRUE(login.DialogState().autoLogin) << "automatic login is ticked by default";
        login.ToggleAutoLogin();
        EXPECT_FALSE(login.DialogState().autoLogin);
        login.ToggleAutoLogin();
        login.SwitchToRegistration();
        EXPECT_TRUE(login.m_editConfirm->isVisibleTo(&login));
        EXPECT_FALSE(login.m_btnRegister->isVisibleTo(&login));
        login.m_editUsername->setText(QStringLiteral("lin"));
        login.m_editPassword->setText(QStringLiteral("secret1"));
        login.m_editConfirm->setText(QStringLiteral("secret1"));
        Save(login, QStringLiteral("login-register"));
        login.Confirm();
    });
    EXPECT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 1);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(LoggedIn());
    EXPECT_NE(m_session.user.userId, 0);
    EXPECT_TRUE(m_form->LoginArea().m_panelUserInfo->isVisible());
    EXPECT_FALSE(m_form->LoginArea().m_btnLogin->isVisible());
    Save(*m_form, QStringLiteral("band-logged-in"));

    m_form->Logoff();
    EXPECT_FALSE(LoggedIn());
    EXPECT_TRUE(m_form->LoginArea().m_btnLogin->isVisible());

    // The next start logs in by itself with what was remembered.
    StopProgram();
    StartProgram();
    EXPECT_TRUE(m_session.loggingIn);
    EXPECT_TRUE(m_form->LoginArea().m_lblLoging->isVisible());
    ASSERT_TRUE(test::WaitUntil([this] { return LoggedIn(); })) << "the remembered login did not come through";
    EXPECT_STREQ(m_session.user.userName, "lin");
    EXPECT_TRUE(m_form->LoginArea().m_panelUserInfo->isVisible());
    m_form->Logoff();

    // A wrong password: its message, the dialog again (cancelled here), logged
    // off, the password no longer remembered but the name still.
    AnswerLogin("lin", "wrongpw");
    m_answers.push_back([](QDialog& dialog) {
        auto& login = dynamic_cast<TLoginForm&>(dialog);
        EXPECT_EQ(login.m_editUsername->text(), QStringLiteral("lin"));
        EXPECT_TRUE(login.m_editPassword->text().isEmpty());
        dialog.reject();
    });
    EXPECT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 0);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("16 登录失败!\n输入密码错，请重新输入。")});
    EXPECT_FALSE(LoggedIn());
    EXPECT_TRUE(m_form->LoginArea().m_btnLogin->isVisible());
    std::string name, password;
    EXPECT_FALSE(m_settings->LoadLogin(name, password));
    EXPECT_EQ(name, "lin");

    // An unknown user and a name already taken get their own reasons.
    m_messages.clear();
    AnswerLogin("nobody", "secret1");
    EXPECT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 0);
    AnswerLogin("lin", "another1", true);
    EXPECT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 0);
    EXPECT_EQ(m_messages, (QStringList{QStringLiteral("16 登录失败!\n无效的用户名，请重新输入。"),
                                       QStringLiteral("16 注册失败!\n用户名已存在，请重新注册。")}));
    EXPECT_FALSE(LoggedIn());

    // And the right password still works after all that.
    m_messages.clear();
    AnswerLogin("lin", "secret1");
    EXPECT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 1);
    EXPECT_TRUE(LoggedIn());
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(AccountServiceTest, AServiceThatDoesNotAnswerLeavesTheUserLoggedOff)
{
    StartProgram();
    // The service goes away after the start.
    m_service.reset();
    AnswerLogin("lin", "secret1");
    EXPECT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 0);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith(QStringLiteral("16 登录失败!\n"))) << m_messages[0].toStdString();
    EXPECT_FALSE(LoggedIn());
    EXPECT_TRUE(m_form->LoginArea().m_btnLogin->isVisible());
}

TEST_F(AccountServiceTest, ACancelledLoginLeavesTheUserLoggedOffWithoutAMessage)
{
    StartProgram();
    m_service.reset();   // nobody answers: the login would wait
    AnswerLogin("lin", "secret1");
    CancelProgress(QStringLiteral("正在登录"), false);
    EXPECT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 0);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(LoggedIn());
    EXPECT_FALSE(m_session.loggingIn);
    EXPECT_TRUE(m_form->LoginArea().m_btnLogin->isVisible());
    EXPECT_FALSE(m_form->LoginArea().m_lblLoging->isVisible());
}

TEST_F(AccountServiceTest, ACancelledUploadBringsTheDescriptionBackAndSendsNothing)
{
    AddUser("mei", "secret1", "小梅");
    StartProgram();
    AnswerLogin("mei", "secret1");
    ASSERT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 1);
    // Large enough that the cancel comes while it travels.
    const QString mp3 = m_dir.filePath(QStringLiteral("long.mp3"));
    {
        QFile file(mp3);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4 << 20, 'm'));
    }
    m_session.song.SetFlag(kFlagExported, true);
    m_session.app.lastSaveType = 0;
    m_session.app.lastSaveFile = mp3.toStdString();
    int managed = 0;
    m_form->showManageSong = [&managed](int32_t) { return ++managed, 2; };
    m_answers.push_back([](QDialog& dialog) {
        auto& upload = dynamic_cast<TUploadForm&>(dialog);
        upload.m_editSongName->setText(QStringLiteral("长歌"));
        CancelProgress(QStringLiteral("正在上传"), true);
        emit upload.m_btnOk->clicked();
    });
    QString shownAgain;
    m_answers.push_back([&shownAgain](QDialog& dialog) {
        shownAgain = dynamic_cast<TUploadForm&>(dialog).m_editSongName->text();
        dialog.reject();
    });
    m_form->HandleMessage(UM_UPLOAD_SONG, 0, 0);
    EXPECT_EQ(shownAgain, QStringLiteral("长歌")) << "the upload dialog comes back with its entries";
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(managed, 0);
    EXPECT_TRUE(m_service->Query("SELECT id FROM songs").empty());
    EXPECT_TRUE(LoggedIn());
    EXPECT_EQ(m_session.app.lastSaveFile, mp3.toStdString());
}

TEST_F(AccountServiceTest, AnUploadedSongArrivesWithItsDescription)
{
    AddUser("mei", "secret1", "小梅");
    StartProgram();
    m_session.song.tempo = 96;
    m_session.song.metre = 1;
    // The song was exported as MP3 before: that file is uploaded.
    const QString mp3 = m_dir.filePath(QStringLiteral("song.mp3"));
    {
        QFile file(mp3);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(3000, 'm'));
    }
    m_session.song.SetFlag(kFlagExported, true);
    m_session.app.lastSaveType = 0;
    m_session.app.lastSaveFile = mp3.toStdString();
    int32_t managed = -99;
    m_form->showManageSong = [&managed](int32_t id) {
        managed = id;
        return 2;
    };

    AnswerLogin("mei", "secret1");   // the upload asks for a login first
    m_answers.push_back([](QDialog& dialog) {
        auto& upload = dynamic_cast<TUploadForm&>(dialog);
        EXPECT_FALSE(upload.m_btnOk->Enabled()) << "no name, no OK";
        upload.m_editSongName->setText(QStringLiteral("晚风"));
        EXPECT_TRUE(upload.m_btnOk->Enabled());
        upload.m_editSinger->setText(QStringLiteral("小梅"));
        upload.m_radioAmend->setChecked(true);
        upload.m_editOriginal->setText(QStringLiteral("Old Singer"));
        upload.m_memoDescription->setPlainText(QStringLiteral("夏天的晚上写的"));
        upload.m_cbSex->setCurrentIndex(1);
        upload.ClickType(2);
        Save(upload, QStringLiteral("upload"));
        emit upload.m_btnOk->clicked();
    });
    m_form->HandleMessage(UM_UPLOAD_SONG, 0, 0);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
    ASSERT_GT(managed, 0) << "the success form shows the new song's id";

    const std::vector<QByteArray> infos =
        m_service->Query("SELECT info FROM songs WHERE id = " + std::to_string(managed));
    ASSERT_EQ(infos.size(), 1u);
    const QByteArray& info = infos[0];
    ASSERT_EQ(info.size(), 1008);
    EXPECT_STREQ(info.constData() + 4, "晚风");
    EXPECT_STREQ(info.constData() + 76, "小梅");
    EXPECT_STREQ(info.constData() + 108, "Old Singer");
    EXPECT_STREQ(info.constData() + 368, "夏天的晚上写的");
    EXPECT_EQ(uint8_t(info[72]), 1);
    EXPECT_EQ(uint8_t(info[73]), 3);
    EXPECT_EQ(uint8_t(info[75]), 2);
    EXPECT_EQ(uint8_t(info[236]), 2);
    const std::vector<QByteArray> sizes =
        m_service->Query("SELECT length(data) FROM songs WHERE id = " + std::to_string(managed));
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0], QByteArray("3000"));

    // The next upload starts from the kept entries; a description that cannot
    // be written is refused with a message and nothing is sent.
    m_answers.push_back([](QDialog& dialog) {
        auto& upload = dynamic_cast<TUploadForm&>(dialog);
        EXPECT_EQ(upload.m_editSongName->text(), QStringLiteral("晚风"));
        EXPECT_TRUE(upload.m_radioAmend->isChecked());
        EXPECT_TRUE(upload.Types().Checked(2));
        upload.m_memoDescription->setPlainText(QStringLiteral("ok") + QChar(0xD800));
        emit upload.m_btnOk->clicked();
        EXPECT_NE(upload.result(), QDialog::Accepted) << "the dialog stays";
    });
    managed = -99;
    m_form->HandleMessage(UM_UPLOAD_SONG, 0, 0);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("16 歌曲描述含有无法保存的字符，请修改。")});
    EXPECT_EQ(managed, -99);
    EXPECT_EQ(m_service->Query("SELECT id FROM songs").size(), 1u);

    // Over the limit: only the limit form, and the song and login stay as they were.
    ASSERT_EQ(m_service->Admin({QStringLiteral("set-song-limit"), QStringLiteral("1")}), 0);
    m_messages.clear();
    m_form->HandleMessage(UM_UPLOAD_SONG, 0, 0);
    EXPECT_EQ(managed, -1);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(LoggedIn());
    EXPECT_EQ(m_service->Query("SELECT id FROM songs").size(), 1u);
}

TEST_F(AccountServiceTest, AnsweredQuestionsAndNoticesReachTheHelpPage)
{
    AddUser("mei", "secret1", "小梅");
    PostNotice("系统维护", "周六晚上十点到十二点暂停服务。");
    StartProgram();
    auto* help = dynamic_cast<THelpForm*>(m_form->Page(kHelpPage));
    ASSERT_NE(help, nullptr) << "the help page is the account screens'";
    ASSERT_TRUE(test::WaitUntil([this] { return m_form->NoticeCount() == 1; })) << "the general notice did not arrive";
    EXPECT_TRUE(m_form->LoginArea().m_panelNoticeNum->isVisible());

    AnswerLogin("mei", "secret1");
    ASSERT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 1);

    // The badge opens the help page on the notices; reading them clears both badges.
    emit m_form->LoginArea().noticesClicked();
    ASSERT_TRUE(test::WaitUntil([this] { return m_form->CurrentPage() == kHelpPage; }));
    EXPECT_EQ(help->CurrentTab(), kTabPublicNotices);
    ASSERT_FALSE(help->m_panelShow->Lines().empty());
    EXPECT_EQ(help->m_panelShow->Lines()[0].text, QStringLiteral("系统维护"));
    EXPECT_FALSE(help->m_pbPublicNoticeNum->isVisible());
    ASSERT_TRUE(test::WaitUntil([this] { return !m_form->LoginArea().m_panelNoticeNum->isVisible(); }));
    EXPECT_EQ(m_form->NoticeCount(), 0);
    Save(*m_form, QStringLiteral("help-notices"));

    // Ask a question: it shows at once, waiting for its answer.
    help->ShowTab(kTabFeedback);
    EXPECT_TRUE(help->PlaceholderShown());
    EXPECT_FALSE(help->m_btnSubmit->Enabled());
    QTest::mouseClick(help->m_memMsg->viewport(), Qt::LeftButton);
    help->m_memMsg->setPlainText(QStringLiteral("怎样换一种伴奏风格？"));
    ASSERT_FALSE(help->PlaceholderShown());
    EXPECT_TRUE(help->m_btnSubmit->Enabled());
    help->SubmitQuestion();
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(help->m_memMsg->toPlainText().isEmpty());
    const std::vector<HelpLine> asked = help->m_panelShow->Lines();
    ASSERT_GE(asked.size(), 2u);
    EXPECT_EQ(asked[0], (HelpLine{kLineTitle, QStringLiteral("怎样换一种伴奏风格？")}));
    EXPECT_EQ(asked[1], (HelpLine{kLineBody, QStringLiteral("暂时还没有答复")}));

    // The makers answer; the page shows it after the next synchronisation.
    const std::vector<QByteArray> ids = m_service->Query("SELECT id FROM questions");
    ASSERT_EQ(ids.size(), 1u);
    ASSERT_EQ(m_service->Admin({QStringLiteral("answer"), QString::fromUtf8(ids[0]),
                                QStringLiteral("在第三步点击风格按钮即可。")}),
              0);
    ASSERT_TRUE(test::WaitUntil([help] {
        help->RefreshView();
        const auto& lines = help->m_panelShow->Lines();
        return lines.size() >= 2 && lines[1].text == QStringLiteral("在第三步点击风格按钮即可。");
    })) << "the answer did not arrive";
    help->m_memMsg->setPlainText(QStringLiteral("还有一个问题"));
    Save(*m_form, QStringLiteral("help-questions"));

    // The way back goes to the page the help was opened from.
    const int from = help->openedFrom;
    emit help->m_btnPrevStep->clicked();
    ASSERT_TRUE(test::WaitUntil([this] { return m_form->CurrentPage() != kHelpPage; }));
    EXPECT_EQ(m_form->CurrentPage(), from);
}

TEST_F(AccountServiceTest, ANewerVersionOpensTheUpdateDialogAndAForcedOneClosesTheAccount)
{
    ASSERT_EQ(m_service->Admin({QStringLiteral("set-versions"), QStringLiteral("9.0.4.312"), QStringLiteral("0.0.0.0"),
                                QStringLiteral("--text"), QStringLiteral("更快的识别\n\n新的风格")}),
              0);
    bool shown = false;
    m_answers.push_back([&shown](QDialog& dialog) {
        auto& update = dynamic_cast<TUpdateForm&>(dialog);
        shown = true;
        EXPECT_EQ(update.m_lbNewVer->text(), QStringLiteral("最新版本：9.0.4.0312 公测版"));
        EXPECT_TRUE(update.m_lbCurrentVer->text().startsWith(QStringLiteral("当前版本：0.1.0.")));
        ASSERT_EQ(update.m_lbUpdateMsg->count(), 3);
        EXPECT_EQ(update.m_lbUpdateMsg->item(2)->text(), QStringLiteral("新的风格"));
        EXPECT_EQ(update.m_lbDownloadMsg->text(), QStringLiteral("新的版本已发布,建议立即更新。"));
        Save(update, QStringLiteral("update"));
        update.Download();
        EXPECT_EQ(update.result(), QDialog::Accepted);
    });
    StartProgram();
    ASSERT_TRUE(test::WaitUntil([&shown] { return shown; })) << "no update dialog";
    ASSERT_EQ(m_browser.urls.size(), 1);
    EXPECT_EQ(m_browser.urls[0].toString(),
              QStringLiteral("http://127.0.0.1/index.php/Software?tpl=show&id=2&os=pc"))
        << "the download page";
    EXPECT_FALSE(m_session.song.Flag(kFlagForcedUpdate));
    EXPECT_TRUE(m_form->LoginArea().m_btnLogin->isVisible());
    StopProgram();

    ASSERT_EQ(m_service->Admin({QStringLiteral("set-versions"), QStringLiteral("9.0.4.312"),
                                QStringLiteral("9.0.0.0")}),
              0);
    shown = false;
    m_answers.push_back([&shown](QDialog& dialog) {
        auto& update = dynamic_cast<TUpdateForm&>(dialog);
        shown = true;
        EXPECT_TRUE(update.m_lbDownloadMsg->text().startsWith(QStringLiteral("当前版本下，用户将无法进行登录")));
        EXPECT_TRUE(update.m_lbDownloadMsg->styleSheet().contains(QStringLiteral("#FF0000")));
        Save(update, QStringLiteral("update-forced"));
        update.reject();
    });
    StartProgram();
    ASSERT_TRUE(test::WaitUntil([&shown] { return shown; })) << "no update dialog";
    EXPECT_TRUE(m_session.song.Flag(kFlagForcedUpdate));
    EXPECT_FALSE(m_form->LoginArea().m_btnLogin->isVisible());

    // An upload now asks for a login, which shows the reason again instead.
    shown = false;
    m_answers.push_back([&shown](QDialog& dialog) {
        shown = dynamic_cast<TUpdateForm*>(&dialog) != nullptr;
        dialog.reject();
    });
    m_form->HandleMessage(UM_UPLOAD_SONG, 0, 0);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(LoggedIn());
    EXPECT_TRUE(m_answers.empty());
}

TEST_F(AccountServiceTest, AboutMoreSoftwareAndTheManualOpenFromTheHelpPage)
{
    StartProgram();
    QString about, more;
    m_answers.push_back([&about](QDialog& dialog) {
        auto& info = dynamic_cast<TInfoForm&>(dialog);
        about = info.m_lblText->text();
        Save(info, QStringLiteral("about"));
        info.accept();
    });
    m_answers.push_back([&more](QDialog& dialog) {
        auto& info = dynamic_cast<TInfoForm&>(dialog);
        more = info.m_lblText->text();
        Save(info, QStringLiteral("more-software"));
        info.accept();
    });
    auto* help = dynamic_cast<THelpForm*>(m_form->Page(kHelpPage));
    ASSERT_NE(help, nullptr);
    emit help->m_btnAbout->clicked();
    emit help->m_btnMore->clicked();
    emit help->m_btnHelp->clicked();
    ASSERT_TRUE(test::WaitUntil([&] { return !more.isEmpty() && ManualWindow() != nullptr; }));
    EXPECT_TRUE(about.contains(QString::fromStdString(m_session.version)));
    EXPECT_TRUE(about.contains(QStringLiteral("FluidSynth")));
    EXPECT_TRUE(about.contains(QString::fromStdString(m_session.webAddress).toHtmlEscaped()));
    EXPECT_TRUE(more.contains(QStringLiteral("melodrift-cli")));
    QWidget* manual = ManualWindow();
    EXPECT_EQ(manual->windowTitle(), QStringLiteral("Melodrift 用户手册"));
    Save(*manual, QStringLiteral("manual"));
    // F1's manual again brings the same window back.
    m_form->HandleMessage(UM_MANUAL, 0, 0);
    int manuals = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        manuals += w->windowTitle() == QStringLiteral("Melodrift 用户手册") ? 1 : 0;
    EXPECT_EQ(manuals, 1);
    manual->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ManualWindow(), nullptr);
    EXPECT_FALSE(ShowManual(m_dir.filePath(QStringLiteral("missing.html"))));
    EXPECT_EQ(m_messages.back(), QStringLiteral("16 找不到用户手册。"));
}

TEST_F(AccountServiceTest, PersonalNoticesShowTheirSentenceAndALongListScrolls)
{
    AddUser("mei", "secret1", "小梅");
    const std::vector<QByteArray> users = m_service->Query("SELECT id FROM users WHERE name = 'mei'");
    ASSERT_EQ(users.size(), 1u);
    ASSERT_EQ(m_service->Admin({QStringLiteral("post-notice"), QStringLiteral("歌曲已通过审核"),
                                QStringLiteral("您上传的《晚风》已发布。"), QStringLiteral("--owner"),
                                QString::fromUtf8(users[0])}),
              0);
    for (int i = 1; i <= 12; ++i)
        PostNotice(QStringLiteral("公告 %1").arg(i).toUtf8().constData(),
                   "新的伴奏风格已经上线，欢迎在第三步试用。这是一条足够长的公告正文，用来看看换行之后的样子是否整齐。"
                   "风格列表会在登录后自动更新，下载完成后即可在风格对话框中选用。");
    StartProgram();
    auto* help = dynamic_cast<THelpForm*>(m_form->Page(kHelpPage));
    ASSERT_NE(help, nullptr);
    m_form->HelpCommand();
    ASSERT_TRUE(test::WaitUntil([this] { return m_form->CurrentPage() == kHelpPage; }));
    EXPECT_FALSE(help->m_tabButtons[kTabUserNotices]->isVisible()) << "no personal messages without a user";

    // Logging in from the help page brings the personal tab and its badge.
    AnswerLogin("mei", "secret1");
    ASSERT_EQ(m_form->HandleMessage(UM_LOGIN, 1, 0), 1);
    ASSERT_TRUE(test::WaitUntil([this] { return m_form->PersonalCount() == 1 && m_form->NoticeCount() == 12; }));
    EXPECT_TRUE(help->m_tabButtons[kTabUserNotices]->isVisible());
    EXPECT_TRUE(help->m_pbUserNoticeNum->isVisible());
    EXPECT_TRUE(help->m_pbPublicNoticeNum->isVisible());
    EXPECT_EQ(help->NoticeCount(-1), 13);

    help->ShowTab(kTabUserNotices);
    EXPECT_TRUE(help->m_lblMsgURL->isVisible());
    EXPECT_EQ(help->m_lblMsgNum->text(), QStringLiteral("1"));
    ASSERT_FALSE(help->m_panelShow->Lines().empty());
    EXPECT_EQ(help->m_panelShow->Lines()[0].text, QStringLiteral("歌曲已通过审核"));
    Save(*m_form, QStringLiteral("help-personal"));
    QTest::mouseClick(help->m_lblMsgURL, Qt::LeftButton);
    ASSERT_EQ(m_browser.urls.size(), 1);
    EXPECT_TRUE(m_browser.urls[0].toString().contains(QStringLiteral("checkLoginUser?username=mei&")));
    EXPECT_TRUE(m_browser.urls[0].toString().endsWith(QStringLiteral("&action=3"))) << "the personal space";
    // The service reports the personal message read: the sentence goes.
    help->SetNoticeCount(0, 1);
    EXPECT_FALSE(help->m_lblMsgURL->isVisible());
    EXPECT_FALSE(help->m_pbUserNoticeNum->isVisible());

    // Twelve wrapped notices do not fit: the newest comes first and the view scrolls.
    help->ShowTab(kTabPublicNotices);
    const THelpTextView& view = *help->m_panelShow;
    ASSERT_TRUE(view.Scroll().Scrollable());
    EXPECT_TRUE(view.ScrollBar()->isVisible());
    EXPECT_EQ(view.Lines()[0].text, QStringLiteral("公告 12"));
    int wrapped = 0;
    for (const HelpLine& line : view.Lines())
        wrapped += line.kind == kLineContinuation && !line.text.isEmpty() ? 1 : 0;
    EXPECT_GT(wrapped, 0) << "the long texts wrap";
    QTest::keyClick(help->m_panelShow, Qt::Key_PageDown);
    EXPECT_EQ(view.Scroll().First(), view.Scroll().Visible());
    Save(*m_form, QStringLiteral("help-scrolled"));

    // Another tab and back: the notices keep their place.
    help->ShowTab(kTabQnA);
    EXPECT_EQ(view.Scroll().First(), 0);
    help->ShowTab(kTabPublicNotices);
    EXPECT_EQ(view.Scroll().First(), view.Scroll().Visible());
}
