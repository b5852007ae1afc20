#pragma once

#include <QCoreApplication>
#include <QPointer>

#include <functional>
#include <memory>

class ModuleSession;
class ModuleThread;
class QDoubleSpinBox;
class QMessageBox;
class QWidget;

// One calibration step of the module panel, asked of the operator question by question: a
// calibration point of the voltage or current (the operator enters the true value measured at
// the output, the module works out the rest), or clearing the voltage or current calibration;
// then whether to store the module's calibration. Two message boxes, children of the panel,
// serve the whole flow; the first is reused for the warning and the store question. The
// commands go to the module's thread between the questions; a command that fails ends the
// flow with failed(), for the panel to ask to be closed.
class CalibrationFlow : public std::enable_shared_from_this<CalibrationFlow>
{
    Q_DECLARE_TR_FUNCTIONS(CalibrationFlow)

public:
    // The panel's polling, stopped around the dialogs.
    struct Polling
    {
        std::function<void()> stop;
        std::function<void()> restart;
    };

    // voltageBox and currentBox are the panel's set-point boxes; a point's value dialog takes
    // their range and decimals.
    CalibrationFlow(QWidget *panel, ModuleThread &module, QDoubleSpinBox *voltageBox,
                    QDoubleSpinBox *currentBox, const Polling &polling,
                    std::function<void()> failed);
    ~CalibrationFlow();
    CalibrationFlow(const CalibrationFlow &) = delete;
    CalibrationFlow &operator=(const CalibrationFlow &) = delete;

    // Asks the first question and returns; each answer hands the next question or command
    // over. The flow keeps itself while one of its questions or commands is outstanding, and
    // goes, unanswered, with the panel.
    static void start(QWidget *panel, ModuleThread &module, QDoubleSpinBox *voltageBox,
                      QDoubleSpinBox *currentBox, const Polling &polling,
                      std::function<void()> failed);

private:
    struct Quantity;

    void run();
    // Shows one of the flow's boxes without waiting; answered gets its standard button. The
    // poll rests meanwhile unless told otherwise.
    void ask(QMessageBox *box, std::function<void(int)> answered, bool pollRests = true);
    void prepareQuantityQuestion();
    void prepareWarning();
    void prepareSetOrClear();
    // given(value) once the operator has confirmed the warning and given the point's true
    // value; nothing else follows otherwise.
    void askPointValue(const Quantity &quantity, QDoubleSpinBox *valueBox,
                       std::function<void(double value)> given);
    // Hands a command chain over; then follows once it succeeded.
    void send(std::function<bool(ModuleSession &)> commands, std::function<void()> then);
    void askToStore();

    // Voltage, then current.
    static const Quantity quantities[2];

    QPointer<QWidget> panel;
    ModuleThread &module; // the panel's: gone only with the panel
    std::function<void()> failed;
    QDoubleSpinBox *voltageBox;
    QDoubleSpinBox *currentBox;
    Polling polling;
    QPointer<QMessageBox> questionBox;
    QPointer<QMessageBox> setOrClearBox;
};
