#include "savefiledialog.h"

#include "modaldialog.h"

#include <QFileDialog>
#include <QMessageBox>
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

void SaveFileDialog::save(QWidget *parent, const QString &caption, const QString &startDir,
                          const QString &filter, std::function<bool(const QString &)> write)
{
    ask(parent, caption, startDir, filter, parent,
        [parent, write = std::move(write)](const QString &path) {
            if (path.isEmpty() || write(path))
                return;
            ModalDialog::open(new QMessageBox(QMessageBox::Warning, tr("Ошибка"),
                                              tr("Не удалось записать файл %1").arg(path),
                                              QMessageBox::Ok, parent),
                              parent);
        });
}

QString SaveFileDialog::filterSuffix(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    return pattern.match(filter).captured(1);
}
