#pragma once

#include <QString>

class QWidget;

// The save dialogs of the windows: caption, filter and start folder as each window gives
// them, and a name typed without a suffix gets the filter's, so "report" is saved as
// "report.html" rather than as a file the desktop cannot open.
class SaveFileDialog
{
public:
    // The chosen path, or empty when the operator cancelled.
    static QString fileName(QWidget *parent, const QString &caption, const QString &startDir,
                            const QString &filter);
    // The first suffix the filter names: "html" for "HTML страница (*.html)"; empty if none.
    static QString filterSuffix(const QString &filter);
};
