#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

// The save dialogs of the windows: caption, filter and start folder as each window gives
// them, and a name typed without a suffix gets the filter's, so "report" is saved as
// "report.html" rather than as a file the desktop cannot open.
class SaveFileDialog
{
public:
    // Asks without waiting for the answer; `chosen` gets the path, or an empty one when the
    // operator cancelled.
    static void ask(QWidget *parent, const QString &caption, const QString &startDir,
                    const QString &filter, QObject *receiver,
                    std::function<void(const QString &path)> chosen);
    // The first suffix the filter names: "html" for "HTML страница (*.html)"; empty if none.
    static QString filterSuffix(const QString &filter);
};
