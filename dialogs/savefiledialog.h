#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>

class QObject;
class QWidget;

// The save dialogs of the windows: caption, filter and start folder as each window gives
// them, and a name typed without a suffix gets the filter's, so "report" is saved as
// "report.html" rather than as a file the desktop cannot open.
class SaveFileDialog
{
    Q_DECLARE_TR_FUNCTIONS(SaveFileDialog)

public:
    // Asks without waiting for the answer; `chosen` gets the path, or an empty one when the
    // operator cancelled.
    static void ask(QWidget *parent, const QString &caption, const QString &startDir,
                    const QString &filter, QObject *receiver,
                    std::function<void(const QString &path)> chosen);
    // Asks, then has write(path) save the file at the chosen path; a file it could not write
    // is told in a box over the parent. Cancelling writes nothing.
    static void save(QWidget *parent, const QString &caption, const QString &startDir,
                     const QString &filter, std::function<bool(const QString &path)> write);
    // The first suffix the filter names: "html" for "HTML страница (*.html)"; empty if none.
    static QString filterSuffix(const QString &filter);
};
