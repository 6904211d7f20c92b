#pragma once

// The program's window with this folder's screens over the real engine
// libraries (loaded from the build's bin folder), a scratch home folder, no
// online service, and a message box that answers from a script.

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>
#include <memory>

#include "AppSession.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "MessageDispatcher.h"
#include "RegisterScreens.h"
#include "ScreenRegistry.h"
#include "SettingsStore.h"
#include "TMainForm.h"
#include "TMessageForm.h"

namespace melodrift::test {

class RecordingFixture : public ::testing::Test {
protected:
    struct Shown {
        QString text;
        int flags;
    };

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setenv("MELODRIFT_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8().constData(), 1);
        setenv("MELODRIFT_SERVICE", "127.0.0.1:9", 1);
        InstallMessageDispatcher();
        TMessageForm::SetScript([this](const QString& text, int flags) {
            m_shown.push_back({text, flags});
            if (m_replies.empty())
                return static_cast<int>(kResultOk);
            const int reply = m_replies.front();
            m_replies.pop_front();
            return reply;
        });
        ASSERT_EQ(BindEngineLibraries(), 0);
        m_settings = std::make_unique<TSettingsStore>(m_dir.filePath(QStringLiteral("settings.ini")).toStdString());
        RegisterRecordingScreens();
    }

    void StartForm()
    {
        m_session.song = TSongModel();
        m_form = std::make_unique<TMainForm>(m_session, *m_settings);
        m_form->show();
        ASSERT_TRUE(m_form->InitialiseEngines({}));
        Settle();
    }

    void TearDown() override
    {
        if (m_form) {
            m_form->ShutdownWindow();
            m_form.reset();
        }
        ClearScreenRegistry();
        TMessageForm::SetScript({});
        unsetenv("MELODRIFT_HOME");
        unsetenv("MELODRIFT_SERVICE");
        unsetenv("MELODRIFT_AUDIO");
    }

    static void Settle(int rounds = 5)
    {
        for (int i = 0; i < rounds; ++i)
            QCoreApplication::processEvents();
    }

    static void SaveShot(QWidget& w, const QString& name)
    {
        QDir().mkpath(QStringLiteral(MELODRIFT_SCREENSHOT_DIR));
        w.grab().save(QStringLiteral(MELODRIFT_SCREENSHOT_DIR "/") + name + QStringLiteral(".png"));
    }

    QTemporaryDir m_dir;
    AppSession m_session;
    std::unique_ptr<TSettingsStore> m_settings;
    std::unique_ptr<TMainForm> m_form;
    std::vector<Shown> m_shown;
    std::deque<int> m_replies;
};

} // namespace melodrift::test
