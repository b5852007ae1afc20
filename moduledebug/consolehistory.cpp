#include "consolehistory.h"

#include <QSettings>

namespace {
const char *const historyKey = "console/history";

QSettings programSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Korvalis"),
                     QStringLiteral("voltaDesk"));
}
} // namespace

ConsoleHistory::ConsoleHistory()
{
    kept = programSettings().value(QLatin1String(historyKey)).toStringList();
    if (kept.size() > capacity)
        kept = kept.mid(kept.size() - capacity);
}

void ConsoleHistory::add(const QString &line)
{
    if (line.isEmpty() || (!kept.isEmpty() && kept.last() == line))
        return;
    kept.append(line);
    if (kept.size() > capacity)
        kept.removeFirst();
    programSettings().setValue(QLatin1String(historyKey), kept);
}

QStringList ConsoleHistory::matching(const QString &text) const
{
    return kept.filter(text, Qt::CaseInsensitive);
}
