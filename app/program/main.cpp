// Melodrift: start-up, the message loop and the orderly end.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

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

// The end of a session the user did not ask for: SIGTERM, SIGHUP (logout),
// SIGINT, or the display going away. The main window keeps a changed song
// in the auto-save and stops the engines in order; then the process ends
// at once. Qt itself calls exit() when the X connection breaks, which would
// run the libraries' static destructors under live engine threads.
int g_signalPipe[2] = {-1, -1};
std::function<void()> g_endSession;
QtMessageHandler g_qtHandler = nullptr;

[[noreturn]] void EndNow(int status)
{
    if (g_endSession) {
        auto end = std::move(g_endSession);
        g_endSession = nullptr;
        end();
    }
    std::fflush(nullptr);
    ::_exit(status);
}

void OnSignal(int signal)
{
    const char c = static_cast<char>(signal);
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (g_qtHandler)
        g_qtHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    if (text.startsWith(QLatin1String("The X11 connection broke")) && qApp != nullptr &&
        QThread::currentThread() == qApp->thread()) {
        std::fprintf(stderr, "melodrift: the display went away\n");
        EndNow(1);
    }
}

void WatchSessionEnd(QApplication& app)
{
    g_qtHandler = qInstallMessageHandler(OnQtMessage);
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char c = 0;
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], &c, 1);
        std::fprintf(stderr, "melodrift: ending on signal %d\n", int(c));
        EndNow(0);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
}

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
        ShowMessageBox(QString::fromUtf8(BindingFailureMessage(binding)), kMessageError);
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
        g_endSession = [&form] { form.EndSession(); };
        form.show();
        splash.reset();
        if (form.InitialiseEngines(file))
            status = app.exec();
        g_endSession = nullptr;
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
    WatchSessionEnd(app);
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
