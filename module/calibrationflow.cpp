#include "calibrationflow.h"

#include "commandchain.h"
#include "modaldialog.h"
#include "modulesession.h"
#include "modulethread.h"

#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
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
    // Gone already when the panel went during the flow; later, not now, as the flow may go
    // from inside one of their own signals.
    if (questionBox)
        questionBox->deleteLater();
    if (setOrClearBox)
        setOrClearBox->deleteLater();
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
    ask(questionBox, [this](int which) {
        if (which != QMessageBox::Yes && which != QMessageBox::No)
            return;
        const Quantity &quantity = quantities[which == QMessageBox::Yes ? 0 : 1];
        QDoubleSpinBox *valueBox = which == QMessageBox::Yes ? voltageBox : currentBox;
        prepareWarning();
        prepareSetOrClear();
        ask(setOrClearBox, [this, &quantity, valueBox](int action) {
            const auto store = [flow = shared_from_this()] { flow->askToStore(); };
            if (action == QMessageBox::Yes) {
                askPointValue(quantity, valueBox, [this, &quantity, store](double value) {
                    const char *const format = quantity.setCommand;
                    send([format, value](ModuleSession &session) {
                        return CommandChain(session).command(format, value).ok();
                    }, store);
                });
            } else if (action == QMessageBox::No) {
                // Clearing asks no warning: the module only falls back to its uncalibrated
                // state.
                const char *const clear = quantity.clearCommand;
                send([clear](
                         ModuleSession &session) { return CommandChain(session).command(clear).ok(); },
                     store);
            }
        });
    });
}

void CalibrationFlow::send(std::function<bool(ModuleSession &)> commands,
                           std::function<void()> then)
{
    module.run(panel, std::move(commands),
               [flow = shared_from_this(), then = std::move(then)](bool ok) {
                   if (!ok)
                       flow->failed();
                   else if (then)
                       then();
               });
}

void CalibrationFlow::ask(QMessageBox *box, std::function<void(int)> answered, bool pollRests)
{
    if (pollRests)
        polling.stop();
    // The box answers the flow only while the panel is there: it goes with the panel.
    ModalDialog::ask(
        box, panel,
        [flow = shared_from_this(), pollRests, answered = std::move(answered)](
            QMessageBox::StandardButton button) {
            if (pollRests)
                flow->polling.restart();
            answered(button);
        },
        ModalDialog::After::Keep);
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

void CalibrationFlow::askPointValue(const Quantity &quantity, QDoubleSpinBox *valueBox,
                                    std::function<void(double value)> given)
{
    const QString title = tr(quantity.pointTitle);
    questionBox->setWindowTitle(title);
    ask(questionBox, [this, &quantity, valueBox, title, given](int warning) {
        questionBox->setText(tr("Сохранить калибровку?"));
        if (warning != QMessageBox::Yes)
            return;
        // A true value is never negative, even where the set-point box reaches below zero.
        if (!quantity.pollsDuringValue)
            polling.stop();
        auto *dialog = new QInputDialog(panel);
        dialog->setWindowTitle(title);
        dialog->setLabelText(tr(quantity.valuePrompt));
        dialog->setDoubleDecimals(valueBox->decimals() + 2);
        dialog->setDoubleRange(0.0, valueBox->maximum());
        dialog->setDoubleValue(valueBox->minimum());
        const QPointer<QInputDialog> asked(dialog);
        ModalDialog::open(dialog, panel,
                          [flow = shared_from_this(), &quantity, asked, given](int result) {
                              if (!quantity.pollsDuringValue)
                                  flow->polling.restart();
                              if (result == QDialog::Accepted && asked)
                                  given(asked->doubleValue());
                          });
    });
}

// The poll stays stopped from the question until the module has taken "CAL:SAVE".
void CalibrationFlow::askToStore()
{
    polling.stop();
    ask(
        questionBox,
        [this](int answer) {
            if (answer != QMessageBox::Yes) {
                polling.restart();
                return;
            }
            const Polling restart = polling;
            send([](
                     ModuleSession &session) { return CommandChain(session).command("CAL:SAVE\n").ok(); },
                 [restart] { restart.restart(); });
        },
        false);
}
