// ctest-timeout: 240
// The operator's firmware update from a module panel hosted in the main window, against a
// simulated module: the file dialog and the questions, the progress dialog as the operator
// sees it while the update thread writes, the module's transcript and flash, the outcome
// boxes, and the panel leaving the main window when the update fails.
#include "blockcommandheader.h"
#include "dialoganswerer.h"
#include "modulework.h"
#include "logcapture.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "rvka5630panel.h"
#include "searchwait.h"
#include "simfirmwareimage.h"
#include "simlan.h"
#include "timefacility.h"
#include "toplevelwindow.h"
#include "widget.h"

#include <visa.h>

#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
using Messages = QVector<QByteArray>;

const QString moduleAddress = QStringLiteral("127.0.0.2");
const QString updateTitle = QStringLiteral("Обновление встроенного ПО");
const QString writing = QStringLiteral("Запись прошивки в инструмент...");
const QString erasing = QStringLiteral("Стирание промежуточного РПЗУ.");
const QString copying = QStringLiteral("Перезапись прошивки из промежуточного РПЗУ по месту...");
const QString restartWarning = QStringLiteral(
    "Внимание! \nПосле перезаписи прошивки инструмент перезагружается, \nпоэтому сеанс связи с "
    "ним должен быть закрыт и открыт повторно!");
const QString blockError = QStringLiteral("Ошибка записи в промежуточное РПЗУ.");
const QString succeeded =
    QStringLiteral("Обновление завершено: Запись прошивки завершена успешно.");
const QString writeFailed =
    QStringLiteral("Ошибка: Запись прошивки завершена с ошибкой! Не удалось записать прошивку!");
const QString differs = QStringLiteral(
    "Ошибка: Запись прошивки завершена с ошибкой! Содержимое файла и памяти отличается!");
const QString silent = QStringLiteral(
    "Ошибка: Инструмент после перезаписи прошивки не отзывается! Связь после перезапуска не "
    "восстановлена, прошивка с файлом не сверена.");

QString hex8(quint32 value)
{
    return QString::number(value, 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

QString blockMessage(quint32 offset)
{
    return QStringLiteral("Запись в промежуточное РПЗУ 4096 байт по смещению %1...")
        .arg(hex8(offset));
}

QByteArray memRead(quint32 address, quint32 length)
{
    return QStringLiteral("MEMREAD? 0x%1,0x%2\n").arg(hex8(address), hex8(length)).toLatin1();
}

QByteArray padded(const QByteArray &image, int length)
{
    return image + QByteArray(length - image.size(), char(0xFF));
}

// The main window with the simulated module listed and connected.
struct Window
{
    Widget widget;
    QTableWidget *table = widget.findChild<QTableWidget *>("devicesTable");
    QStackedWidget *stack = widget.findChild<QStackedWidget *>("stackedWidget");
    QLabel *header = widget.findChild<QLabel *>("headerLabel");
    QPointer<Rvka5630panel> panel;

    Window()
    {
        widget.show();
        refreshAndWait(widget);
        const QPoint firstRow = table->visualItemRect(table->item(0, 0)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, firstRow);
        widget.findChild<QPushButton *>("connectButton")->click();
        panel = qobject_cast<Rvka5630panel *>(stack->currentWidget());
        if (panel)
            QVERIFY(waitForModuleWork(&panel->moduleThread()));
    }
    // Pressed from the event loop, as the operator does: the main window's deferred deletion
    // of a panel that failed then waits until the update has returned.
    void pressUpdate()
    {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, [this, &loop] {
            QTest::mouseClick(panel->findChild<QPushButton *>("swUpdateButton"), Qt::LeftButton);
            loop.quit();
        });
        loop.exec();
        if (panel)
            QVERIFY(waitForModuleWork(&panel->moduleThread()));
    }
    QTimer *pollTimer() const { return panel->findChild<QTimer *>("pollTimer"); }
    // The panel's debug window: the only one, since every case starts without windows left.
    Rvka5630Debug *debugPanel() const { return topLevelWindow<Rvka5630Debug>(); }
};

// Watches the progress dialog while the update runs, as the operator would: the label texts
// in the order shown, and whether the dialog came back after the operator closed it once.
class ProgressWatch : public QObject
{
public:
    explicit ProgressWatch(Window &window) : window(window)
    {
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, this, &ProgressWatch::sample);
        timer.start();
    }

    QStringList labels;
    bool closedOnce = false;
    bool reappeared = false;
    bool cancelButton = false;
    bool busyIndicator = true;
    bool windowModal = true;
    bool panelIdle = true; // panel and debug window disabled, polling stopped

private:
    void sample()
    {
        QProgressDialog *progress =
            window.panel ? window.panel->findChild<QProgressDialog *>() : nullptr;
        if (!progress || !progress->isVisible()) {
            // Closed by the update itself once the thread has finished, or by the test.
            return;
        }
        const QString label = progress->labelText();
        if (labels.isEmpty() || labels.last() != label)
            labels << label;
        for (QPushButton *button : progress->findChildren<QPushButton *>())
            cancelButton = cancelButton || button->isVisible();
        busyIndicator = busyIndicator && progress->minimum() == 0 && progress->maximum() == 0;
        windowModal = windowModal && progress->windowModality() == Qt::WindowModal;
        Rvka5630Debug *debug = window.debugPanel();
        panelIdle = panelIdle && !window.panel->isEnabled() && debug && !debug->isEnabled() &&
                    !window.pollTimer()->isActive();
        if (closedOnce) {
            reappeared = true;
        } else if (label == erasing) {
            closedOnce = true;
            progress->close();
        }
    }
    Window &window;
    QTimer timer;
};

// Whether shown holds the texts of expected in their order, and every text of required.
bool shownInOrder(const QStringList &shown, const QStringList &expected,
                  const QStringList &required)
{
    int at = 0;
    for (const QString &label : shown) {
        while (at < expected.size() && expected.at(at) != label)
            ++at;
        if (at == expected.size())
            return false;
    }
    for (const QString &text : required)
        if (!shown.contains(text))
            return false;
    return true;
}

} // namespace

class tst_FirmwareUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void questions_data();
    void questions();
    void outcomes_data();
    void outcomes();
    void unusableImage_data();
    void unusableImage();

private:
    QString imageFile(const QByteArray &image);
    void waitUntilModuleAnswers();
    Messages flashTraffic() const;
    QStringList boxes(const DialogAnswerer &answers) const;

    SimLan lan;
    SimModule *module = nullptr;
    Rvka5630Model *model = nullptr;
    QTemporaryDir files;
};

void tst_FirmwareUpdate::initTestCase()
{
    // Fast enough for the suite, slow enough that every progress message lasting a block's
    // 350 ms stays on the label for several refreshes.
    TimeFacility::instance().setSpeedup(20);
    module = lan.addRvka5630(moduleAddress);
    QVERIFY(module);
    model = lan.rvka5630(moduleAddress);
    lan.publish();
    QVERIFY(files.isValid());
}

void tst_FirmwareUpdate::init()
{
    QTest::qWait(40);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    waitUntilModuleAnswers();
    model->setRejectErase(false);
    model->failBlockWrite(0);
    model->corruptMemRead(0);
    model->setMemReadSurplus(0);
    model->setRestartMs(8000);
    model->setMainFlash(SimFirmwareImage::generate(65536, 99));
    module->clearFaults();
    module->transcript().clear();
}

// A module still restarting from an earlier case takes no session yet.
void tst_FirmwareUpdate::waitUntilModuleAnswers()
{
    ViSession rm = VI_NULL, vi = VI_NULL;
    QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    for (int attempt = 0; attempt < 30; ++attempt) {
        if (viOpen(rm, SimBench::resourceName(moduleAddress).toLatin1(), VI_NULL, 1000, &vi) ==
            VI_SUCCESS)
            break;
        TimeFacility::instance().sleep(1000);
    }
    QVERIFY(vi != VI_NULL);
    viClose(vi);
    viClose(rm);
}

QString tst_FirmwareUpdate::imageFile(const QByteArray &image)
{
    const QString path = files.filePath(QString::number(qHash(image)) + QStringLiteral(".bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// What the module received of the flash protocol.
Messages tst_FirmwareUpdate::flashTraffic() const
{
    Messages traffic;
    for (const QByteArray &message : module->transcript().messages())
        if (message.startsWith("FLASH") || message.startsWith("MEMREAD?"))
            traffic << message;
    return traffic;
}

QStringList tst_FirmwareUpdate::boxes(const DialogAnswerer &answers) const
{
    QStringList shown;
    for (const DialogAnswerer::Shown &box : answers.shown())
        if (box.kind == DialogAnswerer::Kind::MessageBox)
            shown << box.title + QStringLiteral(": ") + box.text;
    return shown;
}

void tst_FirmwareUpdate::questions_data()
{
    QTest::addColumn<QByteArray>("image"); // null: the file dialog is cancelled
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("question"); // empty: none asked
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("written");
    QTest::addColumn<Messages>("traffic"); // up to the erase

    const QString notStm32 =
        QStringLiteral("Выбранный файл не является прошивкой STM32F4. Продолжить?");
    const QString alreadyWritten =
        QStringLiteral("Выбранный файл уже записан. Желаете перезаписать?");
    const QByteArray small = SimFirmwareImage::generate(1024, 7);
    const QByteArray valid = SimFirmwareImage::generate(5000, 7);
    QTest::newRow("file dialog cancelled")
        << QByteArray() << false << QString() << QString() << false << Messages();
    QTest::newRow("1024 bytes, no") << small << false << notStm32 << "Нет" << false << Messages();
    QTest::newRow("1024 bytes, yes")
        << small << false << notStm32 << "Да" << true << Messages{"FLASH:TEMP:ERASE 1024\n"};
    QTest::newRow("already written, no")
        << valid << true << alreadyWritten << "Нет" << false << Messages{memRead(0x08000000, 5000)};
    QTest::newRow("already written, yes")
        << valid << true << alreadyWritten << "Да" << true
        << Messages{memRead(0x08000000, 5000), "FLASH:TEMP:ERASE 5120\n"};
    QTest::newRow("differs, no question")
        << valid << false << QString() << QString() << true
        << Messages{memRead(0x08000000, 5000), "FLASH:TEMP:ERASE 5120\n"};
}

void tst_FirmwareUpdate::questions()
{
    QFETCH(QByteArray, image);
    QFETCH(bool, installed);
    QFETCH(QString, question);
    QFETCH(QString, answer);
    QFETCH(bool, written);
    QFETCH(Messages, traffic);
    if (installed)
        model->setMainFlash(image);
    Window w;
    QVERIFY(w.panel);

    DialogAnswerer answers;
    answers.choosePath(image.isNull() ? QString() : imageFile(image)).inspect([&w](QDialog *) {
        QVERIFY(!w.pollTimer()->isActive());
    });
    if (!question.isEmpty())
        answers.press(answer).inspect([&w](QDialog *) {
            QVERIFY(!w.panel->isEnabled());
            QVERIFY(!w.pollTimer()->isActive());
        });
    if (written)
        answers.press(QStringLiteral("OK"));
    w.pressUpdate();

    QVERIFY(answers.unexpected().isEmpty());
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.shown().first().title,
             QStringLiteral("Выберите двоичный файл с новым ПО для записи"));
    QVERIFY(answers.shown().first().nameFilter.contains(QStringLiteral("(*.bin)")));
    if (!question.isEmpty()) {
        const DialogAnswerer::Shown asked = answers.shown().at(1);
        QCOMPARE(asked.title, updateTitle);
        QCOMPARE(asked.text, question);
        QCOMPARE(asked.icon, QMessageBox::Question);
        QCOMPARE(asked.buttons, (QStringList{"Да", "Нет"}));
        QCOMPARE(asked.defaultButton, QStringLiteral("Нет"));
    }
    if (written)
        QCOMPARE(boxes(answers).last(), succeeded);
    QCOMPARE(flashTraffic().mid(0, traffic.size()), traffic);
    if (!written)
        QCOMPARE(flashTraffic(), traffic);
    QVERIFY(w.panel->isEnabled());
    QVERIFY(w.pollTimer()->isActive());
    QCOMPARE(w.pollTimer()->interval(), 250);
    QCOMPARE(w.stack->currentWidget(), w.panel.data());
}

void tst_FirmwareUpdate::outcomes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("boxes");

    QTest::newRow("5000 bytes") << 5000 << QString() << QStringList{succeeded};
    QTest::newRow("8192 bytes") << 8192 << QString() << QStringList{succeeded};
    QTest::newRow("read-backs announce more than asked")
        << 5000 << QStringLiteral("surplus") << QStringList{succeeded};
    QTest::newRow("erase rejected, 131072 bytes")
        << 131072 << QStringLiteral("rejectErase") << QStringList{succeeded};
    QTest::newRow("third block fails")
        << 16384 << QStringLiteral("thirdBlock") << QStringList{writeFailed};
    QTest::newRow("restart slower than 17 s: nothing compared")
        << 5000 << QStringLiteral("slowRestart") << QStringList{silent};
    QTest::newRow("flash differs after the restart")
        << 5000 << QStringLiteral("corruptFinalRead") << QStringList{differs};
}

void tst_FirmwareUpdate::outcomes()
{
    QFETCH(int, size);
    QFETCH(QString, fault);
    QFETCH(QStringList, boxes);

    const QByteArray image = SimFirmwareImage::generate(size, 3);
    const quint32 n = quint32(size + 1023) / 1024 * 1024;
    const int blocks = int(n + 4095) / 4096;
    const QByteArray area = padded(image, blocks * 4096);
    if (fault == QLatin1String("surplus"))
        model->setMemReadSurplus(10);
    else if (fault == QLatin1String("rejectErase"))
        model->setRejectErase(true);
    else if (fault == QLatin1String("thirdBlock"))
        model->failBlockWrite(3);
    else if (fault == QLatin1String("slowRestart"))
        model->setRestartMs(20000);
    else if (fault == QLatin1String("corruptFinalRead"))
        model->corruptMemRead(blocks + 2); // after the first comparison and the read-backs

    Window w;
    QVERIFY(w.panel);
    QPointer<Rvka5630panel> panel = w.panel;
    module->transcript().clear();
    TimeFacility::instance().clearRequests();
    DialogAnswerer answers;
    answers.choosePath(imageFile(image));
    for (int i = 0; i < boxes.size(); ++i)
        answers.press(QStringLiteral("OK"));
    LogCapture log;
    {
        ProgressWatch watch(w);
        w.pressUpdate();
        log.stop();

        // What the operator saw while the module was written.
        QStringList order{writing, QStringLiteral("Подготовка данных."), erasing,
                          QStringLiteral("...")};
        QStringList required{erasing};
        if (fault == QLatin1String("rejectErase")) {
            order << restartWarning;
            required << restartWarning;
        } else {
            const int written = fault == QLatin1String("thirdBlock") ? 3 : blocks;
            for (int block = 0; block < written; ++block)
                order << blockMessage(quint32(block) * 4096);
            required += order.mid(4);
            if (fault == QLatin1String("thirdBlock")) {
                order << blockError;
            } else {
                order << copying << restartWarning;
                required << copying << restartWarning;
            }
        }
        QVERIFY2(shownInOrder(watch.labels, order, required),
                 qPrintable(watch.labels.join(QStringLiteral(" | "))));
        QVERIFY(watch.closedOnce && watch.reappeared);
        QVERIFY(!watch.cancelButton);
        QVERIFY(watch.busyIndicator && watch.windowModal && watch.panelIdle);
    }
    QVERIFY(answers.unexpected().isEmpty());
    QCOMPARE(this->boxes(answers), boxes);

    // What the module received and holds.
    Messages expected{memRead(0x08000000, quint32(size)),
                      "FLASH:TEMP:ERASE " + QByteArray::number(n) + "\n"};
    if (fault == QLatin1String("rejectErase")) {
        const QByteArray header = BlockCommandHeader::directRewrite(n);
        QCOMPARE(header, QByteArray("FLASH:REWRITE2   0x08000000,131072,#6131072"));
        expected << header + padded(image, int(n));
    } else {
        for (int block = 0; block < blocks; ++block) {
            const quint32 offset = quint32(block) * 4096;
            expected << BlockCommandHeader::intermediateBlock(offset, 4096) +
                            area.mid(int(offset), 4096);
            if (fault == QLatin1String("thirdBlock") && block == 2)
                break;
            expected << memRead(0x080A0000 + offset, 4096);
        }
        if (fault != QLatin1String("thirdBlock"))
            expected << "FLASH:TEMP:FIRMWARE " + QByteArray::number(n) + "\n";
    }
    const bool written = fault != QLatin1String("thirdBlock");
    if (written && fault != QLatin1String("slowRestart"))
        expected << memRead(0x08000000, quint32(size));
    QCOMPARE(flashTraffic(), expected);
    if (written) {
        QCOMPARE(model->mainFlash().left(int(n)), padded(image, int(n)));
        QVector<int> sleeps{3000};
        if (fault != QLatin1String("rejectErase"))
            sleeps += QVector<int>(blocks, 350);
        QCOMPARE(TimeFacility::instance().requested(TimeFacility::Kind::Sleep),
                 sleeps << 5000 << 12000);
    }
    // The window waits for none of it: no pause, only the label's refresh every 100 ms.
    QVERIFY(TimeFacility::instance().requested(TimeFacility::Kind::Pause).isEmpty());
    QVERIFY(TimeFacility::instance().requested(TimeFacility::Kind::Timeout).contains(100));

    // Where the panel is now.
    if (boxes == QStringList{succeeded}) {
        QCOMPARE(w.stack->currentWidget(), panel.data());
        QVERIFY(panel->isEnabled());
        QVERIFY(w.pollTimer()->isActive());
        QCOMPARE(w.pollTimer()->interval(), 250);
        QVERIFY(w.debugPanel() && w.debugPanel()->isEnabled());
        // The new session reads the panel's settings back.
        const Messages sent = module->transcript().messages();
        const int compared = sent.lastIndexOf(memRead(0x08000000, quint32(size)));
        QCOMPARE(sent.mid(compared + 1, 3), (Messages{"VOLT?\n", "CURR?\n", "VOLT:PROT?\n"}));
        // The debug window polls on the new session too: showing it keeps the panel.
        const int debugPolls = module->transcript().count("PIN:OVVOUT?");
        w.debugPanel()->show();
        QTRY_VERIFY(module->transcript().count("PIN:OVVOUT?") > debugPolls + 1);
        QCOMPARE(w.stack->currentWidget(), panel.data());
        w.debugPanel()->hide();
    } else {
        QCOMPARE(w.stack->currentIndex(), 0);
        QCOMPARE(w.header->text(), QStringLiteral("Korvalis"));
        // Deleted from the main window's event loop once the flow has returned.
        QTRY_VERIFY(!panel);
    }
    if (fault == QLatin1String("thirdBlock")) {
        const QString logged = log.lines().filter(QStringLiteral("@FAIL@")).value(0);
        QVERIFY2(logged.contains(blockMessage(0x2000) + QLatin1Char('@') + blockError +
                                 QStringLiteral("@FAIL@")),
                 qPrintable(log.lines().join(QLatin1Char('\n'))));
    }
}

void tst_FirmwareUpdate::unusableImage_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << qint64(0) << QStringLiteral("Файл прошивки пуст.");
    QTest::newRow("one byte beyond the main flash")
        << qint64(655361) << QStringLiteral("не более 655360 байт");
    QTest::newRow("400 MB") << (qint64(400) << 20) << QStringLiteral("не более 655360 байт");
}

void tst_FirmwareUpdate::unusableImage()
{
    QFETCH(qint64, size);
    QFETCH(QString, reason);
    const QString path = files.filePath(QStringLiteral("unusable.bin"));
    {
        QFile sparse(path);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(size));
    }
    Window w;
    QVERIFY(w.panel);
    module->transcript().clear();
    QSignalSpy requests(w.panel.data(), &Rvka5630panel::disconnectDevice);
    DialogAnswerer answers;
    answers.choosePath(path).press(QStringLiteral("OK"));
    w.pressUpdate();
    QFile::remove(path);

    QVERIFY(answers.unexpected().isEmpty());
    const DialogAnswerer::Shown box = answers.shown().value(1);
    QCOMPARE(box.title, updateTitle);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY2(box.text.contains(reason), qPrintable(box.text));
    QCOMPARE(flashTraffic(), Messages());
    QCOMPARE(requests.count(), 0);
    QVERIFY(w.panel->isEnabled());
    QVERIFY(w.pollTimer()->isActive());
}

QTEST_MAIN(tst_FirmwareUpdate)
#include "tst_firmwareupdate.moc"
