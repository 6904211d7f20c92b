#include "ServiceHarness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <sqlite3.h>

#include "EngineTables.h"
#include "MelodriftPlatform.h"

namespace melodrift::test {

namespace {

QString ServiceProgram() { return QString::fromUtf8(MDP_LibraryDir()) + QStringLiteral("/melodrift-service"); }

} // namespace

TServiceProcess::TServiceProcess(const QString& folder) : m_db(folder + QStringLiteral("/service.db"))
{
    m_server.setProgram(ServiceProgram());
    m_server.setArguments({QStringLiteral("serve"), QStringLiteral("--db"), m_db, QStringLiteral("--port"),
                           QStringLiteral("0"), QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                           QStringLiteral("--hash-iterations"), QStringLiteral("1000")});
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start();
    if (!m_server.waitForStarted(5000))
        return;
    QByteArray line;
    QElapsedTimer clock;
    clock.start();
    while (!line.contains('\n') && clock.elapsed() < 10000) {
        m_server.waitForReadyRead(200);
        line += m_server.readAllStandardOutput();
    }
    const int colon = line.lastIndexOf(':');
    if (line.startsWith("listening on ") && colon > 0)
        m_port = line.mid(colon + 1).trimmed().toInt();
}

TServiceProcess::~TServiceProcess()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(2000);
    }
}

int TServiceProcess::Admin(const QStringList& args, QString* output) const
{
    QProcess admin;
    QStringList all = args;
    all.insert(1, QStringLiteral("--db"));
    all.insert(2, m_db);
    admin.start(ServiceProgram(), all);
    if (!admin.waitForFinished(15000))
        return -1;
    if (output)
        *output = QString::fromUtf8(admin.readAllStandardOutput());
    return admin.exitCode();
}

std::vector<QByteArray> TServiceProcess::Query(const std::string& sql) const
{
    std::vector<QByteArray> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(m_db.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return rows;
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            rows.emplace_back(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                              sqlite3_column_bytes(statement, 0));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

bool BindRealTidelink()
{
    static TidelinkTable table;
    static const bool bound = [] {
        void* lib = MDP_LoadLibrary("Tidelink.dll", nullptr, 0);
        if (lib == nullptr)
            return false;
        bool complete = true;
#define MELODRIFT_TEST_RESOLVE(name)                                                               \
    table.name = reinterpret_cast<decltype(table.name)>(MDP_GetSymbol(lib, #name));                \
    complete = complete && table.name != nullptr;
        MELODRIFT_TIDELINK_ENTRIES(MELODRIFT_TEST_RESOLVE)
#undef MELODRIFT_TEST_RESOLVE
        return complete;
    }();
    if (bound)
        Engines().cs = table;
    return bound;
}

bool WaitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

} // namespace melodrift::test
