#include "postgresserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include <csignal>
#include <sys/types.h>

namespace {
const QString binaries = QStringLiteral("/usr/lib/postgresql/15/bin/");
const QString user = QStringLiteral("station");
constexpr int toolTimeoutMs = 60000;
} // namespace

PostgresServer::PostgresServer() = default;

PostgresServer::~PostgresServer()
{
    stop();
}

bool PostgresServer::available()
{
    return QFile::exists(binaries + QStringLiteral("initdb"));
}

bool PostgresServer::tool(const QString &name, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("unshare"),
                  QStringList{QStringLiteral("--user"), QStringLiteral("--map-user=1000"),
                              QStringLiteral("--map-group=1000"), binaries + name} +
                      arguments);
    const bool finished = process.waitForFinished(toolTimeoutMs);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    why = name + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll());
    return false;
}

bool PostgresServer::start()
{
    if (!folder.isValid())
        return false;
    const QString data = folder.filePath(QStringLiteral("data"));
    if (!QFile::exists(data) &&
        !tool(QStringLiteral("initdb"), {QStringLiteral("-A"), QStringLiteral("trust"),
                                         QStringLiteral("-U"), user, QStringLiteral("-D"), data}))
        return false;
    // A server signalled to stop may still be on its way out: pg_ctl waits for it (and fails,
    // harmlessly, when none is running).
    if (QFile::exists(folder.filePath(QStringLiteral("data/postmaster.pid"))))
        tool(QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), data, QStringLiteral("-m"), QStringLiteral("fast"),
              QStringLiteral("-w"), QStringLiteral("stop")});
    running = tool(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), data, QStringLiteral("-l"),
                    folder.filePath(QStringLiteral("server.log")), QStringLiteral("-o"),
                    QStringLiteral("-k %1 -c listen_addresses=").arg(folder.path()),
                    QStringLiteral("-w"), QStringLiteral("start")});
    return running;
}

void PostgresServer::stop()
{
    if (!running)
        return;
    running = false;
    tool(QStringLiteral("pg_ctl"),
         {QStringLiteral("-D"), folder.filePath(QStringLiteral("data")), QStringLiteral("-m"),
          QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
}

// The server runs as this process's own user outside its namespace, so a signal reaches it.
void PostgresServer::signalStop()
{
    QFile pidFile(folder.filePath(QStringLiteral("data/postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly))
        return;
    const qint64 pid = pidFile.readLine().trimmed().toLongLong();
    if (pid > 0)
        ::kill(pid_t(pid), SIGINT);
}

bool PostgresServer::createDatabase(const QString &name)
{
    return tool(QStringLiteral("createdb"),
                {QStringLiteral("-h"), folder.path(), QStringLiteral("-U"), user, name});
}

QString PostgresServer::url(const QString &database) const
{
    return QStringLiteral("postgresql://%1@%2/%3")
        .arg(user, QString::fromLatin1(QUrl::toPercentEncoding(folder.path())), database);
}
