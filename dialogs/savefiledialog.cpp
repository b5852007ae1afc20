#include "savefiledialog.h"

#include "modaldialog.h"

#include <QFileDialog>
#include <QPointer>
#include <QRegularExpression>

void SaveFileDialog::ask(QWidget *parent, const QString &caption, const QString &startDir,
                         const QString &filter, QObject *receiver,
                         std::function<void(const QString &)> chosen)
{
    auto *dialog = new QFileDialog(parent, caption, startDir, filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // Added by the dialog only to a name without any suffix of its own.
    dialog->setDefaultSuffix(filterSuffix(filter));
    const QPointer<QFileDialog> asked(dialog);
    ModalDialog::open(dialog, receiver, [asked, chosen = std::move(chosen)](int result) {
        chosen(result == QDialog::Accepted && asked ? asked->selectedFiles().value(0)
                                                    : QString());
    });
}

QString SaveFileDialog::filterSuffix(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    return pattern.match(filter).captured(1);
}
