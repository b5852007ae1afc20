#include "savefiledialog.h"

#include <QFileDialog>
#include <QRegularExpression>

QString SaveFileDialog::fileName(QWidget *parent, const QString &caption, const QString &startDir,
                                 const QString &filter)
{
    QFileDialog dialog(parent, caption, startDir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Added by the dialog only to a name without any suffix of its own.
    dialog.setDefaultSuffix(filterSuffix(filter));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

QString SaveFileDialog::filterSuffix(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    return pattern.match(filter).captured(1);
}
