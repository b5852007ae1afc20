#include "runnerinvocation.h"

#include "commandlinerun.h"

#include <QJsonDocument>
#include <QTextStream>

QStringList RunnerInvocation::outLines() const
{
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QJsonObject RunnerInvocation::json(int line) const
{
    return QJsonDocument::fromJson(outLines().value(line).toUtf8()).object();
}

QStringList RunnerInvocation::results() const
{
    QStringList keys;
    for (int i = 0; i < outLines().size(); ++i)
        keys << json(i).value(QStringLiteral("result")).toString();
    return keys;
}

RunnerInvocation invokeRunner(const QStringList &arguments)
{
    RunnerInvocation result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = CommandLineRun::run(arguments, out, err);
    return result;
}
