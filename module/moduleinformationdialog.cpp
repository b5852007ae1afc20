#include "moduleinformationdialog.h"

#include "mathlibrarychecksum.h"
#include "modaldialog.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

void showResult(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                std::function<void()> closed)
{
    auto *box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    ModalDialog::open(box, parent, [closed = std::move(closed)](int) { closed(); });
}

} // namespace

void ModuleInformationDialog::askForMetrology(QWidget *parent, const QString &information,
                                              std::function<void(bool)> chosen)
{
    auto *box = new QMessageBox(QMessageBox::Information, tr("Подробнее..."), information,
                                QMessageBox::Ok | QMessageBox::Help, parent);
    box->setTextFormat(Qt::RichText);
    box->button(QMessageBox::Help)->setText(tr("Метрология"));
    box->setDefaultButton(QMessageBox::Ok);
    // Without an escape button a message box refuses to be closed by the window manager.
    box->setEscapeButton(QMessageBox::Ok);
    ModalDialog::ask(box, parent, [chosen = std::move(chosen)](QMessageBox::StandardButton b) {
        chosen(b == QMessageBox::Help);
    });
}

void ModuleInformationDialog::showChecksum(QWidget *parent,
                                           const MathLibraryChecksum::Result &result,
                                           std::function<void()> closed)
{
    switch (result.outcome) {
    case MathLibraryChecksum::Outcome::FileMissing:
        showResult(parent, QMessageBox::Critical, tr("Критическая ошибка"),
                   tr("Файл rvka5630_math.dll не найден."), std::move(closed));
        return;
    case MathLibraryChecksum::Outcome::Unreadable:
        closed();
        return;
    case MathLibraryChecksum::Outcome::Computed:
        break;
    }
    if (result.matches())
        showResult(parent, QMessageBox::Information, tr("Метрология"),
                   tr("Контрольная сумма файла и требуемая контрольная сумма совпадают!") +
                       result.details,
                   std::move(closed));
    else
        showResult(parent, QMessageBox::Critical, tr("Метрология"),
                   tr("Контрольная сумма файла и требуемая контрольная сумма не совпадают!") +
                       result.details,
                   std::move(closed));
}
