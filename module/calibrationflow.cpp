#include "calibrationflow.h"

#include "commandchain.h"
#include "modulesession.h"
#include "modulethread.h"

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

CalibrationFlow::CalibrationFlow(QWidget *panel, ModuleThread &module,
                                 QDoubleSpinBox *voltageBox, QDoubleSpinBox *currentBox,
                                 const Polling &polling, std::function<void()> failed)
    : panel(panel), module(module), failed(std::move(failed)), voltageBox(voltageBox),
      currentBox(currentBox), polling(polling), questionBox(new QMessageBox(panel)),
      setOrClearBox(new QMessageBox(panel))
{
}

CalibrationFlow::~CalibrationFlow()
{
    // Gone already when the panel went during the flow.
    delete questionBox;
    delete setOrClearBox;
}

void CalibrationFlow::start(QWidget *panel, ModuleThread &module, QDoubleSpinBox *voltageBox,
                            QDoubleSpinBox *currentBox, const Polling &polling,
                            std::function<void()> failed)
{
    std::make_shared<CalibrationFlow>(panel, module, voltageBox, currentBox, polling,
                                      std::move(failed))
        ->run();
}

void CalibrationFlow::run()
{
    prepareQuantityQuestion();
    const int which = ask(questionBox);
    if (!panel)
        return;
    if (which != QMessageBox::Yes && which != QMessageBox::No)
        return;
    const Quantity &quantity = quantities[which == QMessageBox::Yes ? 0 : 1];
    QDoubleSpinBox *valueBox = which == QMessageBox::Yes ? voltageBox : currentBox;

    prepareWarning();
    prepareSetOrClear();
    const int action = ask(setOrClearBox);
    if (!panel)
        return;
    const auto store = [flow = shared_from_this()] { flow->askToStore(); };
    if (action == QMessageBox::Yes) {
        double value = 0;
        if (!askPointValue(quantity, valueBox, value))
            return;
        const char *const format = quantity.setCommand;
        send([format, value](ModuleSession &session) {
            return CommandChain(session).command(format, value).ok();
        }, store);
    } else if (action == QMessageBox::No) {
        // Clearing asks no warning: the module only falls back to its uncalibrated state.
        const char *const clear = quantity.clearCommand;
        send([clear](ModuleSession &session) { return CommandChain(session).command(clear).ok(); },
             store);
    }
}

void CalibrationFlow::send(std::function<bool(ModuleSession &)> commands,
                           std::function<void()> then)
{
    if (!panel)
        return;
    module.run(panel, std::move(commands),
               [flow = shared_from_this(), then = std::move(then)](bool ok) {
                   if (!ok)
                       flow->failed();
                   else if (then)
                       then();
               });
}

int CalibrationFlow::ask(QMessageBox *box)
{
    polling.stop();
    const int answer = box->exec();
    // Gone while the box was open (a failing poll of the debug window takes the panel down):
    // the flow ends without touching it.
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

bool CalibrationFlow::askPointValue(const Quantity &quantity, QDoubleSpinBox *valueBox,
                                    double &value)
{
    const QString title = tr(quantity.pointTitle);
    questionBox->setWindowTitle(title);
    const int warning = ask(questionBox);
    if (!panel)
        return false;
    questionBox->setText(tr("Сохранить калибровку?"));
    if (warning != QMessageBox::Yes)
        return false;

    // A true value is never negative, even where the set-point box reaches below zero.
    if (!quantity.pollsDuringValue)
        polling.stop();
    bool accepted = false;
    value = QInputDialog::getDouble(panel, title, tr(quantity.valuePrompt), valueBox->minimum(),
                                    0.0, valueBox->maximum(), valueBox->decimals() + 2, &accepted);
    if (!panel)
        return false;
    if (!quantity.pollsDuringValue)
        polling.restart();
    return accepted;
}

// The poll stays stopped from the question until the module has taken "CAL:SAVE".
void CalibrationFlow::askToStore()
{
    polling.stop();
    const int answer = questionBox->exec();
    if (!panel)
        return;
    if (answer != QMessageBox::Yes) {
        polling.restart();
        return;
    }
    const Polling restart = polling;
    send([](ModuleSession &session) { return CommandChain(session).command("CAL:SAVE\n").ok(); },
         [restart] { restart.restart(); });
}
