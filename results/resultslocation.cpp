#include "resultslocation.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace {
const char *const locationVariable = "VOLTADESK_RESULTS";
const QString locationSetting = QStringLiteral("results/location");
const QString schemes[] = {QStringLiteral("postgresql://"), QStringLiteral("postgres://")};

QString decoded(const QString &text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}
} // namespace

ResultsLocation ResultsLocation::parse(const QString &text)
{
    ResultsLocation location;
    QString rest;
    for (const QString &scheme : schemes)
        if (text.startsWith(scheme, Qt::CaseInsensitive))
            rest = text.mid(scheme.size());
    if (rest.isEmpty() && !text.contains(QStringLiteral("://"))) {
        location.file = text.isEmpty() ? defaultFile() : text;
        return location;
    }
    location.postgres = true;
    const int slash = rest.indexOf(QLatin1Char('/'));
    location.database = slash < 0 ? QString() : decoded(rest.mid(slash + 1).section('?', 0, 0));
    QString authority = slash < 0 ? rest : rest.left(slash);
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString user = authority.left(at);
        if (user.contains(QLatin1Char(':')))
            location.problem = QStringLiteral("пароль в адресе хранилища не принимается; "
                                              "укажите его в ~/.pgpass");
        location.user = decoded(user.section(QLatin1Char(':'), 0, 0));
        authority = authority.mid(at + 1);
    }
    const int colon = authority.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        bool number = false;
        location.port = authority.mid(colon + 1).toInt(&number);
        if (!number)
            location.problem = QStringLiteral("неверный порт в адресе хранилища: ") + text;
        authority = authority.left(colon);
    }
    location.host = decoded(authority);
    if (location.database.isEmpty() && location.problem.isEmpty())
        location.problem = QStringLiteral("в адресе хранилища не указана база данных: ") + text;
    return location;
}

ResultsLocation ResultsLocation::configured()
{
    if (qEnvironmentVariableIsSet(locationVariable))
        return parse(qEnvironmentVariable(locationVariable));
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                             QStringLiteral("Korvalis"), QStringLiteral("voltaDesk"));
    return parse(settings.value(locationSetting).toString());
}

// The window and the runner share one store, whatever their program names: the data folder
// of Korvalis' voltaDesk, ~/.local/share/Korvalis/voltaDesk on Linux.
QString ResultsLocation::defaultFile()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("Korvalis/voltaDesk/results.sqlite"));
}

QString ResultsLocation::display() const
{
    if (!postgres)
        return file;
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += user + QLatin1Char('@');
    text += host;
    if (port >= 0)
        text += QLatin1Char(':') + QString::number(port);
    return text + QLatin1Char('/') + database;
}
