// Melodrift: start-up, the message loop and the orderly end.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "AppSession.h"
#include "EngineBinding.h"
#include "InstanceLink.h"
#include "MessageDispatcher.h"
#include "RegisterScreens.h"
#include "SettingsStore.h"
#include "SkinStyle.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TSplashForm.h"

using namespace melodrift;

namespace {

int Run(QApplication& app, const QString& file)
{
    if (HandOverToRunningInstance(InstanceSocketName(), file))
        return 0;

    app.setApplicationName(QStringLiteral("Melodrift"));
    app.setApplicationDisplayName(QStringLiteral("Melodrift"));
    app.setWindowIcon(QIcon(QStringLiteral(":/skin/melodrift.svg")));
    app.setStyleSheet(skin::SkinStyleSheet());

    auto splash = std::make_unique<TSplashForm>(QString::fromStdString(FormatVersion(CurrentProgramVersion())));
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    const int binding = BindEngineLibraries();
    TMessageForm messages;
    messages.CentreOn(nullptr);
    SetMessageForm(&messages);
    if (binding != 0) {
        splash.reset();
        UnbindEngineLibraries();
        ShowMessageBox(QString::fromUtf8(BindingFailureMessage(binding)), 16);
        SetMessageForm(nullptr);
        return 0;
    }

    InstallMessageDispatcher();
    RegisterScreens();
    int status = 0;
    {
        TSettingsStore settings;
        TMainForm form(Session(), settings);
        messages.CentreOn(&form);
        TInstanceLink link([&form] { form.HandleMessage(UM_ACTIVATE_INSTANCE, 0, 0); },
                           [&form](const QString& path) {
                               Session().pendingFile = path.toStdString();
                               MDP_PostMessage(WindowHandle(&form), UM_OPEN_FILE, 0, 0);
                           });
        if (!link.Listen(InstanceSocketName()))
            std::fprintf(stderr, "melodrift: another instance took over the hand-over socket\n");
        form.show();
        splash.reset();
        if (form.InitialiseEngines(file))
            status = app.exec();
        form.ShutdownWindow();
    }
    SetMessageForm(nullptr);
    MDP_SetMessageDispatcher(nullptr, nullptr, nullptr);
    UnbindEngineLibraries();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    // The skin's pictures live in a static library, whose resources are not
    // registered on their own.
    Q_INIT_RESOURCE(skin);
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const QString file = args.size() > 1 ? QFileInfo(args.at(1)).absoluteFilePath() : QString();
    try {
        return Run(app, file);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "melodrift: %s\n", error.what());
        return 1;
    } catch (...) {
        std::fprintf(stderr, "melodrift: unknown failure\n");
        return 1;
    }
}
