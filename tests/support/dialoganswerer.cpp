#include "dialoganswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>

DialogAnswerer::DialogAnswerer(QObject *parent) : QObject(parent)
{
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, this, &DialogAnswerer::poll);
    timer.start();
}

DialogAnswerer::~DialogAnswerer() = default;

DialogAnswerer &DialogAnswerer::press(const QString &buttonText)
{
    answers.enqueue({Kind::MessageBox, buttonText, 0, QString(), false, {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::dismiss(Kind kind)
{
    answers.enqueue({kind, QString(), 0, QString(), true, {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::enterValue(double value)
{
    answers.enqueue({Kind::InputDialog, QString(), value, QString(), false, {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::choosePath(const QString &path)
{
    answers.enqueue({Kind::FileDialog, QString(), 0, path, path.isEmpty(), {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::inspect(const std::function<void(QDialog *)> &action)
{
    if (!answers.isEmpty())
        answers.last().inspect = action;
    return *this;
}

QVector<DialogAnswerer::Shown> DialogAnswerer::unexpected() const
{
    QVector<Shown> result;
    for (const Shown &s : seen)
        if (!s.expected)
            result.append(s);
    return result;
}

void DialogAnswerer::clear()
{
    answers.clear();
    seen.clear();
}

bool DialogAnswerer::waitUntilAnswered(int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!answers.isEmpty() && elapsed.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return answers.isEmpty();
}

QDialog *DialogAnswerer::findOpenDialog() const
{
    // The newest modal dialog that is not a progress display (those only show progress
    // and are handled by the tests themselves).
    QDialog *found = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (!dialog || !dialog->isVisible() || qobject_cast<QProgressDialog *>(dialog))
            continue;
        if (!qobject_cast<QMessageBox *>(dialog) && !qobject_cast<QInputDialog *>(dialog) &&
            !qobject_cast<QFileDialog *>(dialog))
            continue;
        found = dialog;
    }
    if (QWidget *modal = QApplication::activeModalWidget())
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            if (!qobject_cast<QProgressDialog *>(dialog) && dialog->isVisible())
                found = dialog;
    return found;
}

DialogAnswerer::Shown DialogAnswerer::describe(QDialog *dialog) const
{
    Shown s;
    s.className = QString::fromLatin1(dialog->metaObject()->className());
    s.title = dialog->windowTitle();
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        s.kind = Kind::MessageBox;
        s.text = box->text();
        s.detailedText = box->detailedText();
        s.icon = box->icon();
        for (QAbstractButton *button : box->buttons())
            s.buttons << button->text();
        if (box->defaultButton())
            s.defaultButton = box->defaultButton()->text();
    } else if (auto *input = qobject_cast<QInputDialog *>(dialog)) {
        s.kind = Kind::InputDialog;
        s.label = input->labelText();
        s.minimum = input->doubleMinimum();
        s.maximum = input->doubleMaximum();
        s.value = input->doubleValue();
        s.decimals = input->doubleDecimals();
    } else {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        s.kind = Kind::FileDialog;
        s.nameFilter = files->nameFilters().join(QStringLiteral(";;"));
        s.directory = files->directory().absolutePath();
    }
    return s;
}

void DialogAnswerer::answer(QDialog *dialog, Shown &record)
{
    if (answers.isEmpty() ||
        (answers.head().kind != Kind::Any && answers.head().kind != record.kind)) {
        record.expected = false;
        record.answer = QStringLiteral("rejected");
        dialog->done(QDialog::Rejected);
        return;
    }
    Answer next = answers.dequeue();
    if (next.inspect) {
        // The inspection may process events in which the dialog's owner goes away.
        const QPointer<QDialog> guard(dialog);
        next.inspect(dialog);
        if (!guard) {
            record.answer = QStringLiteral("gone");
            return;
        }
    }
    if (next.dismiss) {
        record.answer = QStringLiteral("dismissed");
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            // What closing the window does: the escape button if the box has one.
            if (QAbstractButton *escape = box->escapeButton()) {
                escape->click();
                return;
            }
        }
        dialog->reject();
        if (dialog->isVisible())
            dialog->done(QDialog::Rejected);
        return;
    }
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == next.button) {
                record.answer = next.button;
                button->click();
                return;
            }
        }
        record.expected = false;
        record.answer = QStringLiteral("no button ") + next.button;
        dialog->done(QDialog::Rejected);
    } else if (auto *input = qobject_cast<QInputDialog *>(dialog)) {
        input->setDoubleValue(next.value);
        record.answer = QString::number(input->doubleValue(), 'f', input->doubleDecimals());
        input->accept();
    } else if (auto *files = qobject_cast<QFileDialog *>(dialog)) {
        record.answer = next.path;
        files->selectFile(next.path);
        if (auto *edit = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            edit->setText(next.path);
        static_cast<QDialog *>(files)->accept();
    }
}

void DialogAnswerer::poll()
{
    QDialog *dialog = findOpenDialog();
    if (!dialog)
        return;
    // Answering closes the dialog, so a box that is shown again later (reused boxes) is
    // answered again from the queue.
    Shown record = describe(dialog);
    answer(dialog, record);
    seen.append(record);
}
