#include "commandlinerun.h"
#include "diagnostics.h"
#include "language.h"
#include "runnerhelp.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

int main(int argc, char *argv[])
{
    Diagnostics::apply();
    QCoreApplication application(argc, argv);
    Language::install(application);
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    // Asked for anywhere on the line, help and version are all that is done.
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            out << RunnerHelp::text();
            return 0;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            out << RunnerHelp::version(QStringLiteral(VOLTADESK_VERSION));
            return 0;
        }
    }
    return CommandLineRun::run(arguments, out, err, ::isatty(STDERR_FILENO) != 0);
}
