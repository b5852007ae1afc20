#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>

class QDialog;

// Answers the program's modal dialogs from a test, in the order the test expects them, and
// records what each dialog showed. A dialog that nobody expected is recorded and rejected,
// so a test never hangs on a box it did not foresee; assert on unexpected() at the end.
class DialogAnswerer : public QObject
{
    Q_OBJECT
public:
    enum class Kind
    {
        MessageBox,
        InputDialog,
        FileDialog,
        Any
    };

    struct Shown
    {
        Kind kind;
        QString className;
        QString title;
        QString text;
        QString detailedText;
        QStringList buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString defaultButton;
        QString answer; // what was done: a button text, a value, a path, "rejected"
        bool expected = true;
        // Input dialogs.
        QString label;
        double minimum = 0, maximum = 0, value = 0;
        int decimals = 0;
        // File dialogs.
        QString nameFilter;
        QString directory;
    };

    explicit DialogAnswerer(QObject *parent = nullptr);
    ~DialogAnswerer() override;

    // Message boxes: press the button with this text (as shown, e.g. "Да" or "OK").
    DialogAnswerer &press(const QString &buttonText);
    // Close the box as the window manager would (Escape / close button).
    DialogAnswerer &dismiss(Kind kind = Kind::MessageBox);
    // Input dialogs: accept with a value, or cancel.
    DialogAnswerer &enterValue(double value);
    // File dialogs: choose a path (empty: cancel).
    DialogAnswerer &choosePath(const QString &path);

    // Calls action once when a dialog of the kind appears, before answering it (e.g. to look
    // at the program's state while the box is open).
    DialogAnswerer &inspect(const std::function<void(QDialog *)> &action);

    QVector<Shown> shown() const { return seen; }
    QVector<Shown> unexpected() const;
    int pending() const { return answers.size(); }
    void clear();

    // Waits (processing events, real time) until every queued answer has been used.
    bool waitUntilAnswered(int timeoutMs = 10000);

private:
    struct Answer
    {
        Kind kind;
        QString button;
        double value = 0;
        QString path;
        bool dismiss = false;
        std::function<void(QDialog *)> inspect;
    };

    void poll();
    QDialog *findOpenDialog() const;
    Shown describe(QDialog *dialog) const;
    void answer(QDialog *dialog, Shown &record);

    QTimer timer;
    QQueue<Answer> answers;
    QVector<Shown> seen;
};
