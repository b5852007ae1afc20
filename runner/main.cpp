#include "commandlinerun.h"

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
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return CommandLineRun::run(arguments, out, err, ::isatty(STDERR_FILENO) != 0);
}
