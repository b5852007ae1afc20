#include "diagnostics.h"
#include "language.h"
#include "librarypaths.h"
#include "programhelp.h"
#include "widget.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

namespace {
// Help and the version need no display: they are answered before any window can be made.
bool answeredWithoutWindow(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (ProgramHelp::requested(arguments, QString()).isEmpty())
        return false;
    QCoreApplication application(argc, argv);
    Language::install(application);
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << ProgramHelp::requested(arguments, QStringLiteral(VOLTADESK_VERSION));
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    Diagnostics::apply();
    if (answeredWithoutWindow(argc, argv))
        return 0;
    // The platform plug-in is loaded by the application's constructor, so its search list
    // must be in place before.
    LibraryPaths::apply();
    QApplication application(argc, argv);
    Language::install(application);
    Widget w;
    w.show();
    return application.exec();
}
