// Starts the real program offscreen. Messages are answered by the program's
// scripted reply (MELODRIFT_MESSAGE_REPLY), which also writes them to stderr.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

namespace {

QString BinDir() { return qEnvironmentVariable("MELODRIFT_BIN_DIR"); }

QProcessEnvironment ProgramEnvironment(const QTemporaryDir& home, const QString& instance, int reply)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("MELODRIFT_MESSAGE_REPLY"), QString::number(reply));
    env.insert(QStringLiteral("MELODRIFT_INSTANCE"), instance);
    env.insert(QStringLiteral("MELODRIFT_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("MELODRIFT_SERVICE"), QStringLiteral("127.0.0.1:1"));
    // In sanitizer builds Qt's own threads now and then leave a small block
    // behind at exit (nothing of ours on its stack); leaks of our code are
    // checked by the in-process window tests instead.
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), asan + (asan.isEmpty() ? "" : ":") + QStringLiteral("detect_leaks=0"));
    return env;
}

// A copy of bin: the program and its libraries copied, data folders linked.
// missing: a library left out; fake: a library replaced by one without its
// entry points.
bool CopyBin(const QString& to, const QString& missing, const QString& fake)
{
    const QDir bin(BinDir());
    for (const QFileInfo& entry : bin.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        const QString name = entry.fileName();
        const QString target = to + QLatin1Char('/') + name;
        if (name == missing || name == fake)
            continue;
        if (entry.isDir()) {
            if (!QFile::link(entry.absoluteFilePath(), target))
                return false;
        } else if (name == QLatin1String("melodrift") || name.endsWith(QLatin1String(".so"))) {
            if (!QFile::copy(entry.absoluteFilePath(), target))
                return false;
        }
    }
    return fake.isEmpty() || QFile::copy(bin.filePath(QStringLiteral("libGlyphmint.so")), to + QLatin1Char('/') + fake);
}

QString UniqueInstance(const char* tag)
{
    return QStringLiteral("melodrift-prog-%1-%2").arg(QCoreApplication::applicationPid()).arg(QLatin1String(tag));
}

bool Answers(const QString& instance)
{
    QLocalSocket socket;
    socket.connectToServer(instance);
    return socket.waitForConnected(200);
}

} // namespace

TEST(Program, BindingFailuresShowTheirMessageAndExitWithZero)
{
    ASSERT_TRUE(QFile::exists(BinDir() + QStringLiteral("/melodrift")));
    struct Case { const char* missing; const char* fake; const char* message; };
    const Case cases[] = {
        {"libSonobox.so", "", "加载媒体控制模块失败！"},
        {"", "libSonobox.so", "获取媒体控制函数失败！"},
        {"libArrangix.so", "", "加载媒体处理模块失败！"},
        {"", "libArrangix.so", "获取媒体处理函数失败！"},
        {"libTidelink.so", "", "加载网络服务模块失败！"},
        {"", "libTidelink.so", "获取网络服务函数失败！"},
    };
    for (const Case& c : cases) {
        QTemporaryDir home, copy;
        ASSERT_TRUE(CopyBin(copy.path(), QString::fromLatin1(c.missing), QString::fromLatin1(c.fake)));
        QProcess program;
        program.setProcessEnvironment(ProgramEnvironment(home, UniqueInstance("bind"), 1));
        program.start(copy.filePath(QStringLiteral("melodrift")), {});
        ASSERT_TRUE(program.waitForFinished(30000)) << c.message;
        const QString err = QString::fromUtf8(program.readAllStandardError());
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << c.message;
        EXPECT_EQ(program.exitCode(), 0) << c.message << "\n" << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("message 16: ") + QString::fromUtf8(c.message)))
            << c.message << "\n" << err.toStdString();
        EXPECT_FALSE(err.contains(QStringLiteral("Cannot open file ':/"))) << "the skin's resources are built in";
    }
}

TEST(Program, SecondStartHandsItsFileToTheRunningProgramAndExits)
{
    QTemporaryDir home;
    const QString instance = UniqueInstance("handover");
    QProcess first;
    first.setProcessEnvironment(ProgramEnvironment(home, instance, 7));
    first.start(BinDir() + QStringLiteral("/melodrift"), {});
    ASSERT_TRUE(first.waitForStarted(10000));
    QElapsedTimer clock;
    clock.start();
    while (!Answers(instance) && first.state() == QProcess::Running && clock.elapsed() < 30000)
        QThread::msleep(50);
    ASSERT_EQ(first.state(), QProcess::Running) << first.readAllStandardError().toStdString();

    const QString missing = home.filePath(QStringLiteral("没有这个工程.cpj"));
    QProcess second;
    second.setProcessEnvironment(ProgramEnvironment(home, instance, 7));
    second.start(BinDir() + QStringLiteral("/melodrift"), {missing});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    const QByteArray secondErr = second.readAllStandardError();
    EXPECT_FALSE(secondErr.contains("message ")) << "the second start shows nothing itself: " << secondErr.toStdString();

    // The running program tries the handed file and reports it missing.
    QString err;
    clock.restart();
    while (!err.contains(QStringLiteral("打开工程文件失败！（文件不存在）")) && clock.elapsed() < 15000) {
        first.waitForReadyRead(200);
        err += QString::fromUtf8(first.readAllStandardError());
    }
    EXPECT_TRUE(err.contains(QStringLiteral("message 16: 打开工程文件失败！（文件不存在）"))) << err.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(5000);
}

namespace {

// A song with a melody, as the command-line tool composes it from the
// sample take; made once for the tests that need one.
QString ComposedProject(const QTemporaryDir& dir)
{
    const QString project = dir.filePath(QStringLiteral("song.cpj"));
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MELODRIFT_HOME"), dir.filePath(QStringLiteral("cli-home")));
    cli.setProcessEnvironment(env);
    cli.start(BinDir() + QStringLiteral("/melodrift-cli"),
              {QStringLiteral("compose"), BinDir() + QStringLiteral("/samples/sample-take.wav"), QStringLiteral("--tempo"),
               QStringLiteral("96"), QStringLiteral("--metre"), QStringLiteral("4/4"), QStringLiteral("--style"),
               QStringLiteral("2001"), QStringLiteral("-o"), project});
    if (!cli.waitForFinished(120000) || cli.exitCode() != 0)
        return {};
    return project;
}

QString SettingsFile(const QTemporaryDir& home)
{
    return home.filePath(QStringLiteral("config/Korvane/Melodrift.ini"));
}

bool SettingsSay(const QTemporaryDir& home, const char* line)
{
    QFile file(SettingsFile(home));
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(line);
}

} // namespace

// The session ends without the user: a signal, or the X server going away.
// The restored (so still unsaved) song must be in the auto-save afterwards,
// marked for the next start, and the program must end by itself.
TEST(Program, SessionEndKeepsTheAutoSaveOfAChangedSong)
{
    QTemporaryDir fixtures;
    const QString project = ComposedProject(fixtures);
    ASSERT_FALSE(project.isEmpty()) << "melodrift-cli made no project";
    struct Case {
        const char* name;
        int signal; // to the program; 0: end the X server instead
        int exitCode;
    };
    const Case cases[] = {{"SIGTERM", SIGTERM, 0}, {"SIGHUP", SIGHUP, 0}, {"display gone", 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        const QString autosave = home.filePath(QStringLiteral("data/temp/~last.sav"));
        ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("data/temp"))));
        ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("config/Korvane"))));
        ASSERT_TRUE(QFile::copy(project, autosave));
        {
            QFile ini(SettingsFile(home));
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
            ini.write("[General]\nAutoSave=1\n");
        }
        QProcessEnvironment env = ProgramEnvironment(home, UniqueInstance(c.signal ? "signal" : "display"), 6);
        QProcess display;
        if (c.signal == 0) {
            display.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                   QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            ASSERT_TRUE(display.waitForStarted(10000)) << "Xvfb is part of the test set-up (scripts/install-deps)";
            QByteArray number;
            while (!number.contains('\n') && display.waitForReadyRead(10000))
                number += display.readAllStandardOutput();
            ASSERT_FALSE(number.trimmed().isEmpty());
            env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + QString::fromLatin1(number.trimmed()));
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        }
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(BinDir() + QStringLiteral("/melodrift"), {});
        ASSERT_TRUE(program.waitForStarted(10000));
        // The restore answered "yes" ends by clearing the mark in the settings.
        QElapsedTimer clock;
        clock.start();
        while (!SettingsSay(home, "AutoSave=0") && program.state() == QProcess::Running && clock.elapsed() < 60000)
            QThread::msleep(50);
        ASSERT_TRUE(SettingsSay(home, "AutoSave=0")) << program.readAllStandardError().toStdString();
        ASSERT_TRUE(QFile::remove(autosave)); // whatever is there at the end was written at the end

        if (c.signal != 0)
            ::kill(static_cast<pid_t>(program.processId()), c.signal);
        else
            display.terminate();
        ASSERT_TRUE(program.waitForFinished(30000));
        const std::string err = program.readAllStandardError().toStdString();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << err;
        EXPECT_EQ(program.exitCode(), c.exitCode) << err;
        EXPECT_EQ(err.find("double free"), std::string::npos) << err;
        EXPECT_TRUE(QFile::exists(autosave)) << "the unsaved song is kept\n" << err;
        EXPECT_TRUE(SettingsSay(home, "AutoSave=1")) << "and the next start offers it";
        display.waitForFinished(5000);
    }
}
