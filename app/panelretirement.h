#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

class QWidget;

// Deletes the panels that the main window has taken down, once nothing of theirs can still be
// running. A panel asks to be closed from anywhere: from one of its slots, from inside its own
// message box or progress wait, or from a poll of its debug window that runs inside such a
// nested event loop. A plain deleteLater() issued from inside a nested loop is carried out by
// that same loop, under the feet of the slot that opened it; so the deletion is issued only
// when no modal dialog is open and no pause is processing events, that is, from the main
// event loop.
class PanelRetirement : public QObject
{
    Q_OBJECT
public:
    explicit PanelRetirement(QObject *parent = nullptr);
    ~PanelRetirement() override;

    void retire(QWidget *panel);
    // Deletes every retired panel now (the main window is going away).
    void deleteAll();
    int pending() const;

    // True while some code up the stack runs a nested event loop of the program.
    static bool insideNestedLoop();

private:
    void deleteWhenSafe();

    QTimer check;
    QVector<QPointer<QWidget>> panels;
};
