#pragma once

#include <QCoreApplication>
#include <QPointer>

#include <functional>

class ModuleSession;
class QDoubleSpinBox;
class QMessageBox;
class QWidget;

// One calibration step of the module panel, asked of the operator question by question: a
// calibration point of the voltage or current (the operator enters the true value measured at
// the output, the module works out the rest), or clearing the voltage or current calibration;
// then whether to store the module's calibration. Two message boxes, children of the panel,
// serve the whole flow; the first is reused for the warning and the store question.
class CalibrationFlow
{
    Q_DECLARE_TR_FUNCTIONS(CalibrationFlow)

public:
    enum class Outcome
    {
        Ended,     // done or cancelled; the panel carries on
        Failed,    // a command failed: the panel must ask to be closed
        PanelGone, // the panel was deleted while a dialog was open: touch nothing
    };
    // The panel's polling, stopped around the dialogs.
    struct Polling
    {
        std::function<void()> stop;
        std::function<void()> restart;
    };

    // voltageBox and currentBox are the panel's set-point boxes; a point's value dialog takes
    // their range and decimals.
    CalibrationFlow(QWidget *panel, ModuleSession &session, QDoubleSpinBox *voltageBox,
                    QDoubleSpinBox *currentBox, const Polling &polling);
    ~CalibrationFlow();
    CalibrationFlow(const CalibrationFlow &) = delete;
    CalibrationFlow &operator=(const CalibrationFlow &) = delete;

    Outcome run();

private:
    struct Quantity;
    enum class Answer
    {
        Given,
        Refused,
        PanelGone,
    };

    int ask(QMessageBox *box);
    void prepareQuantityQuestion();
    void prepareWarning();
    void prepareSetOrClear();
    Answer askPointValue(const Quantity &quantity, QDoubleSpinBox *valueBox, double &value);
    Outcome askToStore();

    // Voltage, then current.
    static const Quantity quantities[2];

    QPointer<QWidget> panel;
    // The panel's; used only while the panel is there.
    ModuleSession &session;
    QDoubleSpinBox *voltageBox;
    QDoubleSpinBox *currentBox;
    Polling polling;
    QPointer<QMessageBox> questionBox;
    QPointer<QMessageBox> setOrClearBox;
};
