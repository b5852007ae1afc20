#include "language.h"
#include "librarypaths.h"
#include "widget.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The platform plug-in is loaded by the application's constructor, so its search list
    // must be in place before.
    LibraryPaths::apply();
    QApplication application(argc, argv);
    Language::install(application);
    Widget w;
    w.show();
    return application.exec();
}
