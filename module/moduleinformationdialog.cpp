#include "moduleinformationdialog.h"

#include "mathlibrarychecksum.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

// The box is the parent's child and on the heap: should the panel be taken away while the box
// is open (a failing poll of the debug window closes it), the box goes with it, not twice.
int execOwnedBox(QMessageBox *box)
{
    const QPointer<QMessageBox> guard(box);
    const int answer = box->exec();
    delete guard.data();
    return answer;
}

void showResult(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    execOwnedBox(box);
}

} // namespace

bool ModuleInformationDialog::askForMetrology(QWidget *parent, const QString &information)
{
    auto *box = new QMessageBox(QMessageBox::Information, tr("Подробнее..."), information,
                                QMessageBox::Ok | QMessageBox::Help, parent);
    box->setTextFormat(Qt::RichText);
    box->button(QMessageBox::Help)->setText(tr("Метрология"));
    box->setDefaultButton(QMessageBox::Ok);
    // Without an escape button a message box refuses to be closed by the window manager.
    box->setEscapeButton(QMessageBox::Ok);
    return execOwnedBox(box) == QMessageBox::Help;
}

void ModuleInformationDialog::showChecksum(QWidget *parent,
                                           const MathLibraryChecksum::Result &result)
{
    switch (result.outcome) {
    case MathLibraryChecksum::Outcome::FileMissing:
        showResult(parent, QMessageBox::Critical, tr("Критическая ошибка"),
                   tr("Файл rvka5630_math.dll не найден."));
        return;
    case MathLibraryChecksum::Outcome::Unreadable:
        return;
    case MathLibraryChecksum::Outcome::Computed:
        break;
    }
    if (result.matches())
        showResult(parent, QMessageBox::Information, tr("Метрология"),
                   tr("Контрольная сумма файла и требуемая контрольная сумма совпадают!") +
                       result.details);
    else
        showResult(parent, QMessageBox::Critical, tr("Метрология"),
                   tr("Контрольная сумма файла и требуемая контрольная сумма не совпадают!") +
                       result.details);
}
