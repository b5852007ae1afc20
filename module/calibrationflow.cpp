#include "calibrationflow.h"

#include "commandchain.h"
#include "modulesession.h"

#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

struct CalibrationFlow::Quantity
{
    const char *pointTitle;
    const char *valuePrompt;
    const char *setCommand; // with the true value of the point, "%lf"
    const char *clearCommand;
    // The read-outs stay live while a voltage point is entered; a current point stops them.
    bool pollsDuringValue;
};

namespace {
const char *const calibrationTitle = QT_TRANSLATE_NOOP("CalibrationFlow", "Калибровка");
} // namespace

const CalibrationFlow::Quantity CalibrationFlow::quantities[2] = {
    {QT_TRANSLATE_NOOP("CalibrationFlow", "Калибровка точки напряжения"),
     QT_TRANSLATE_NOOP("CalibrationFlow", "Введите значение напряжения."), "CAL:VOLT %lf\n",
     "CAL:VOLT:CLEAR\n", true},
    {QT_TRANSLATE_NOOP("CalibrationFlow", "Калибровка точки тока"),
     QT_TRANSLATE_NOOP("CalibrationFlow", "Введите значение тока."), "CAL:CURR %lf\n",
     "CAL:CURR:CLEAR\n", false},
};

CalibrationFlow::CalibrationFlow(QWidget *panel, ModuleSession &session,
                                 QDoubleSpinBox *voltageBox, QDoubleSpinBox *currentBox,
                                 const Polling &polling)
    : panel(panel), session(session), voltageBox(voltageBox), currentBox(currentBox),
      polling(polling), questionBox(new QMessageBox(panel)), setOrClearBox(new QMessageBox(panel))
{
}

CalibrationFlow::~CalibrationFlow()
{
    // Gone already when the panel went during the flow.
    delete questionBox;
    delete setOrClearBox;
}

CalibrationFlow::Outcome CalibrationFlow::run()
{
    prepareQuantityQuestion();
    const int which = ask(questionBox);
    if (!panel)
        return Outcome::PanelGone;
    if (which != QMessageBox::Yes && which != QMessageBox::No)
        return Outcome::Ended;
    const Quantity &quantity = quantities[which == QMessageBox::Yes ? 0 : 1];
    QDoubleSpinBox *valueBox = which == QMessageBox::Yes ? voltageBox : currentBox;

    prepareWarning();
    prepareSetOrClear();
    const int action = ask(setOrClearBox);
    if (!panel)
        return Outcome::PanelGone;
    CommandChain chain(session);
    if (action == QMessageBox::Yes) {
        double value = 0;
        switch (askPointValue(quantity, valueBox, value)) {
        case Answer::PanelGone:
            return Outcome::PanelGone;
        case Answer::Refused:
            return Outcome::Ended;
        case Answer::Given:
            chain.command(quantity.setCommand, value);
            break;
        }
    } else if (action == QMessageBox::No) {
        // Clearing asks no warning: the module only falls back to its uncalibrated state.
        chain.command(quantity.clearCommand);
    } else {
        return Outcome::Ended;
    }
    if (!chain.ok())
        return Outcome::Failed;
    return askToStore();
}

int CalibrationFlow::ask(QMessageBox *box)
{
    polling.stop();
    const int answer = box->exec();
    if (panel)
        polling.restart();
    return answer;
}

void CalibrationFlow::prepareQuantityQuestion()
{
    questionBox->setWindowTitle(tr(calibrationTitle));
    questionBox->setText(tr("Установить калибровочную точку для напряжения/тока."));
    questionBox->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    questionBox->button(QMessageBox::Yes)->setText(tr("Напряжение"));
    questionBox->button(QMessageBox::No)->setText(tr("Ток"));
    questionBox->button(QMessageBox::Cancel)->setText(tr("Отмена"));
    questionBox->setDefaultButton(QMessageBox::Cancel);
}

// The quantity question's box becomes the warning before a point, and later the store
// question; its title stays until a point gives it its own.
void CalibrationFlow::prepareWarning()
{
    questionBox->setIcon(QMessageBox::Warning);
    questionBox->setText(
        tr("Внимание!\nНеправильная калибровка может сломать инструмент.\nПродолжить?"));
    questionBox->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    questionBox->button(QMessageBox::Yes)->setText(tr("Да"));
    questionBox->button(QMessageBox::No)->setText(tr("Нет"));
    questionBox->setDefaultButton(QMessageBox::No);
}

void CalibrationFlow::prepareSetOrClear()
{
    setOrClearBox->setWindowTitle(tr(calibrationTitle));
    setOrClearBox->setText(tr("Установить калибровочную точку или сбросить калибровку?"));
    setOrClearBox->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    setOrClearBox->button(QMessageBox::Yes)->setText(tr("Установить"));
    setOrClearBox->button(QMessageBox::No)->setText(tr("Сбросить"));
    setOrClearBox->button(QMessageBox::Cancel)->setText(tr("Отмена"));
    setOrClearBox->setDefaultButton(QMessageBox::Cancel);
}

CalibrationFlow::Answer CalibrationFlow::askPointValue(const Quantity &quantity,
                                                       QDoubleSpinBox *valueBox, double &value)
{
    const QString title = tr(quantity.pointTitle);
    questionBox->setWindowTitle(title);
    const int warning = ask(questionBox);
    if (!panel)
        return Answer::PanelGone;
    questionBox->setText(tr("Сохранить калибровку?"));
    if (warning != QMessageBox::Yes)
        return Answer::Refused;

    // A true value is never negative, even where the set-point box reaches below zero.
    if (!quantity.pollsDuringValue)
        polling.stop();
    bool accepted = false;
    value = QInputDialog::getDouble(panel, title, tr(quantity.valuePrompt), valueBox->minimum(),
                                    0.0, valueBox->maximum(), valueBox->decimals() + 2, &accepted);
    if (!panel)
        return Answer::PanelGone;
    if (!quantity.pollsDuringValue)
        polling.restart();
    return accepted ? Answer::Given : Answer::Refused;
}

CalibrationFlow::Outcome CalibrationFlow::askToStore()
{
    polling.stop();
    const int answer = questionBox->exec();
    if (!panel)
        return Outcome::PanelGone;
    if (answer == QMessageBox::Yes && !CommandChain(session).command("CAL:SAVE\n").ok())
        return Outcome::Failed;
    polling.restart();
    return Outcome::Ended;
}
