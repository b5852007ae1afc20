#include "selftestdialogs.h"

#include <QPushButton>

QMessageBox *SelfTestDialogs::failedSelfTestBox()
{
    auto *box = new QMessageBox(
        QMessageBox::Warning, tr("Самоконтроль"),
        tr("Самотестирование не было пройдено.\nУправление выходом заблокировано."),
        QMessageBox::Ok | QMessageBox::Ignore);
    box->setDetailedText(tr("Для нормальной работы модуля питания следует игнорировать результат "
                            "самотестирования, исправить проблему и пройти самотестирование "
                            "заново."));
    box->button(QMessageBox::Ok)->setText(tr("Продолжить"));
    box->button(QMessageBox::Ignore)->setText(tr("Игнорировать"));
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

bool SelfTestDialogs::ignoresFailedSelfTest(QMessageBox::StandardButton answer)
{
    return answer == QMessageBox::Ignore;
}

QMessageBox *SelfTestDialogs::runOrSaveBox()
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, tr("Самоконтроль"),
                                tr("Выполнить самоконтроль или сохранить результат?"),
                                QMessageBox::Save | QMessageBox::Yes | QMessageBox::Cancel);
    box->button(QMessageBox::Save)->setText(tr("Сохранить результат"));
    box->button(QMessageBox::Yes)->setText(tr("Выполнить"));
    box->button(QMessageBox::Cancel)->setText(tr("Отмена"));
    box->setDefaultButton(QMessageBox::Save);
    return box;
}

SelfTestDialogs::Choice SelfTestDialogs::choice(QMessageBox::StandardButton answer)
{
    switch (answer) {
    case QMessageBox::Yes:
        return Choice::Run;
    case QMessageBox::Save:
        return Choice::SaveReport;
    default:
        return Choice::Cancel;
    }
}

QMessageBox *SelfTestDialogs::verdictBox(SelfTestLink::Verdict verdict)
{
    if (verdict == SelfTestLink::Verdict::Neither)
        return nullptr;
    return new QMessageBox(QMessageBox::Information, tr("Самоконтроль"),
                           verdict == SelfTestLink::Verdict::Passed
                               ? tr("Самотестирование успешно пройдено!")
                               : tr("Самотестирование не пройдено!"),
                           QMessageBox::Ok);
}
