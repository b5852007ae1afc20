#include "modaldialog.h"

#include <QDialog>
#include <QPointer>

#include <memory>

void ModalDialog::open(QDialog *dialog, QObject *receiver, std::function<void(int)> answered,
                       After after)
{
    dialog->setWindowModality(Qt::ApplicationModal);
    const bool deleted = after == After::Delete;
    if (deleted)
        // A parentless box outlives its receiver unless told otherwise.
        QObject::connect(receiver, &QObject::destroyed, dialog, &QObject::deleteLater);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        dialog, &QDialog::finished, receiver,
        [dialog, deleted, connection, answered = std::move(answered)](int result) {
            QObject::disconnect(*connection);
            // Later, not now: the dialog is still emitting its own signals.
            if (deleted)
                dialog->deleteLater();
            if (answered)
                answered(result);
        });
    dialog->show();
}

void ModalDialog::ask(QMessageBox *box, QObject *receiver,
                      std::function<void(QMessageBox::StandardButton)> answered, After after)
{
    const QPointer<QMessageBox> asked(box);
    open(
        box, receiver,
        [asked, answered = std::move(answered)](int) {
            answered(asked ? asked->standardButton(asked->clickedButton())
                           : QMessageBox::NoButton);
        },
        after);
}
