// The real melodrift-service on a free loopback port with a temporary
// database, its admin commands, and the real Tidelink bound into the
// program's table (the other engines stay the test fakes).
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

namespace melodrift::test {

class TServiceProcess {
public:
    // Starts "melodrift-service serve" on port 0; Port() is 0 when it failed.
    explicit TServiceProcess(const QString& folder);
    ~TServiceProcess();
    int Port() const { return m_port; }
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    // Runs an admin command against the same database; its exit code.
    int Admin(const QStringList& args, QString* output = nullptr) const;
    QString DatabasePath() const { return m_db; }

    // Rows of one column of a query on the database (blobs as bytes).
    std::vector<QByteArray> Query(const std::string& sql) const;

private:
    QString m_db;
    QProcess m_server;
    int m_port = 0;
};

// Binds the real libTidelink into Engines().cs (once per process); false
// when it cannot be loaded.
bool BindRealTidelink();

// Runs the event loop until done() or the time is up.
bool WaitUntil(const std::function<bool()>& done, int ms = 15000);

} // namespace melodrift::test
