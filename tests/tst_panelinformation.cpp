// ctest-timeout: 120
// The module information of the module panel: the table of the module's identity and
// placement, and the metrology check of the math library file it leads to, against the
// simulated module and copies of the installed library.
#include "dialoganswerer.h"
#include "moduleinformation.h"
#include "panelrig.h"
#include "referencecrc32.h"
#include "rvka5630model.h"
#include "rvka5630panel.h"

#include <vdvisa_testing.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {
using Messages = QVector<QByteArray>;

const QByteArray installedPath = qgetenv("VXIPNPPATH");
const QByteArray placementQuery = "CONF:PLACEID?;ADDRID?;SWITCHID?;HWV?;FWV?";
const QByteArray marker("\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9"
                        "CRC32=");
const int digitCount = 8;

// The table as the operator must see it, typed out on its own.
const char expectedTemplate[] =
    R"(<table border="0" cellpadding="5" style = "font-family:courier new;font-size:16px;">)"
    R"(<caption>Подробная информация о модуле питания</caption>)"
    R"(<tr><th align="left">Производитель</th>    <td align="left">Korvalis ltd.</td></tr>)"
    R"(<tr><th align="left">Модель</th>           <td align="left">%s</td></tr>)"
    R"(<tr><th align="left">Серийный номер</th>   <td align="left">%s</td></tr>)"
    R"(<tr><th align="left">PLACEID</th>          <td align="left">%s</td></tr>)"
    R"(<tr><th align="left">ADDRID (слот)</th>    <td align="left">%s</td></tr>)"
    R"(<tr><th align="left">SWITCHID</th>         <td align="left">%s</td></tr>)"
    R"(<tr><th align="left">Версия устройства</th><td align="left">%s</td></tr>)"
    R"(<tr><th align="left">Версия прошивки</th>  <td align="left">%s</td></tr>)"
    R"(</table>)";

// The cells after the maker's row, in row order.
QStringList rowValues(const QString &table)
{
    QStringList values;
    QRegularExpressionMatchIterator cells =
        QRegularExpression(QStringLiteral("<td align=\"left\">(.*?)</td>")).globalMatch(table);
    while (cells.hasNext())
        values << cells.next().captured(1);
    return values.mid(1);
}

QString details(quint32 computed, quint32 required)
{
    return QStringLiteral("Контрольная сумма файла: %1\nТребуемая контрольная сумма: %2\n")
        .arg(QString::number(computed, 16).toUpper(), QString::number(required, 16).toUpper());
}

QByteArray withDigits(QByteArray library, int digitsAt, quint32 value, bool lowerCase = false)
{
    const QByteArray digits = QByteArray::number(value, 16).rightJustified(digitCount, '0');
    library.replace(digitsAt, digitCount, lowerCase ? digits : digits.toUpper());
    return library;
}

// The library with four bytes appended, chosen so that its checksum is one that is wanted;
// returned with the digits as "0" characters.
QByteArray restamped(const QByteArray &library, int digitsAt,
                     const std::function<bool(quint32)> &wanted, quint32 *checksum)
{
    QByteArray padded = withDigits(library, digitsAt, 0) + QByteArray(4, '\0');
    for (quint32 pad = 0;; ++pad) {
        padded.replace(padded.size() - 4, 4, reinterpret_cast<const char *>(&pad), 4);
        *checksum = referenceCrc32(padded);
        if (wanted(*checksum))
            return padded;
    }
}
} // namespace

class tst_PanelInformation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void filling_data();
    void filling();
    void informationBox_data();
    void informationBox();
    void failingQueryEndsTheAction_data();
    void failingQueryEndsTheAction();
    void metrologyCheck_data();
    void metrologyCheck();
    void panelTakenAwayWhileTheBoxIsOpen();

private:
    Rvka5630panel *openModule();
    QTimer *pollTimer() const { return rig->panel->findChild<QTimer *>("pollTimer"); }
    QPushButton *aboutButton() const { return rig->widget<QPushButton>("aboutButton"); }
    QString libraryCopy() const { return driverDir.filePath("rvka5630_math.dll"); }
    void writeLibraryCopy(const QByteArray &bytes) const;

    PanelRig *rig = nullptr;
    QByteArray installedLibrary;
    int digitsAt = -1; // offset of the checksum digits in the installed library
    QTemporaryDir root;
    QDir driverDir;
};

void tst_PanelInformation::initTestCase()
{
    rig = new PanelRig;
    QVERIFY(rig->ready());

    QFile installed(QStringLiteral(VOLTADESK_DRIVER_DIR "rvka5630_math.dll"));
    QVERIFY(installed.open(QIODevice::ReadOnly));
    installedLibrary = installed.readAll();
    QCOMPARE(installedLibrary.count(marker), 1);
    digitsAt = installedLibrary.indexOf(marker) + marker.size();

    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath("winnt/bin"));
    driverDir.setPath(root.filePath("winnt/bin"));
    QVERIFY(QFile::copy(QStringLiteral(VOLTADESK_DRIVER_DIR "rvka5630_32.dll"),
                        driverDir.filePath("rvka5630_32.dll")));
}

void tst_PanelInformation::init()
{
    rig->reset();
    writeLibraryCopy(installedLibrary);
    qputenv("VXIPNPPATH", (root.path() + '/').toUtf8());
}

void tst_PanelInformation::cleanup()
{
    rig->close();
    qputenv("VXIPNPPATH", installedPath);
}

void tst_PanelInformation::writeLibraryCopy(const QByteArray &bytes) const
{
    QDir(libraryCopy()).removeRecursively();
    QFile::remove(libraryCopy());
    QFile file(libraryCopy());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(libraryCopy()));
}

Rvka5630panel *tst_PanelInformation::openModule()
{
    Rvka5630panel *panel = rig->open(PanelRig::moduleAddress);
    // Stopped here, so that an active timer afterwards shows the panel restarted it.
    pollTimer()->stop();
    rig->module->transcript().clear();
    return panel;
}

void tst_PanelInformation::filling_data()
{
    QTest::addColumn<QString>("identity");
    QTest::addColumn<QString>("placement");
    QTest::addColumn<QStringList>("rows");

    const QString identity = QStringLiteral("Korvalis,RVKA5630,12345,1.0");
    QTest::newRow("three placement pieces")
        << identity << "1;7;0" << QStringList{"RVKA5630", "12345", "1", "7", "0", "%s", "%s"};
    QTest::newRow("surplus pieces dropped")
        << identity << "1;7;0;2.1;1.3;9"
        << QStringList{"RVKA5630", "12345", "1", "7", "0", "2.1", "1.3"};
    QTest::newRow("empty pieces kept") << ",,,x"
                                       << "1;;0;;" << QStringList{"", "", "1", "", "0", "", ""};
    QTest::newRow("identity without a serial number")
        << "Korvalis,RVKA5630"
        << "1;7;0;2.1;1.3" << QStringList{"RVKA5630", "%s", "1", "7", "0", "2.1", "1.3"};
    QTest::newRow("pieces are text")
        << "Korvalis,<b>,A&B"
        << "%s;2;3;4;5" << QStringList{"&lt;b&gt;", "A&amp;B", "%s", "2", "3", "4", "5"};
}

void tst_PanelInformation::filling()
{
    QFETCH(QString, identity);
    QFETCH(QString, placement);
    QFETCH(QStringList, rows);
    const QString table = ModuleInformation::filled(identity, placement);
    QCOMPARE(rowValues(table), rows);
    // Only the cells change.
    QCOMPARE(table.count(QStringLiteral("<tr>")), 8);
}

void tst_PanelInformation::informationBox_data()
{
    QTest::addColumn<bool>("closeIt"); // else press OK
    QTest::newRow("OK") << false;
    QTest::newRow("closed") << true;
}

void tst_PanelInformation::informationBox()
{
    QFETCH(bool, closeIt);
    rig->model->setIdentity("Korvalis,RVKA5630,12345,1.0");
    rig->model->setPlacement("2;5;1");
    rig->model->setHardwareVersion("2.4");
    rig->model->setFirmwareVersion("1.7");
    openModule();

    DialogAnswerer answers;
    bool pollingWhileOpen = true;
    Qt::TextFormat format = Qt::AutoText;
    bool closed = false;
    const auto look = [&](QDialog *box) {
        pollingWhileOpen = pollTimer()->isActive();
        format = static_cast<QMessageBox *>(box)->textFormat();
        // As the window manager's close button does it; a message box may refuse.
        if (closeIt)
            closed = box->close();
    };
    (closeIt ? answers.dismiss() : answers.press("OK")).inspect(look);
    aboutButton()->click();
    QVERIFY(rig->settle());

    QCOMPARE(rig->module->transcript().messages(), (Messages{"*IDN?\n", placementQuery}));
    QCOMPARE(answers.shown().size(), 1);
    const DialogAnswerer::Shown box = answers.shown().first();
    QVERIFY(box.expected);
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.title, QStringLiteral("Подробнее..."));
    QString filled = QString::fromUtf8(expectedTemplate);
    for (const char *value : {"RVKA5630", "12345", "2", "5", "1", "2.4", "1.7"})
        filled.replace(filled.indexOf(QLatin1String("%s")), 2, QLatin1String(value));
    QCOMPARE(box.text, filled);
    QCOMPARE(format, Qt::RichText);
    QStringList buttons = box.buttons;
    buttons.sort();
    QCOMPARE(buttons, (QStringList{"OK", "Метрология"}));
    QCOMPARE(box.defaultButton, QStringLiteral("OK"));

    QVERIFY(!pollingWhileOpen);
    QCOMPARE(closed, closeIt);
    QVERIFY(pollTimer()->isActive());
    QCOMPARE(pollTimer()->interval(), 250);
    QVERIFY(!rig->disconnectRequested());
}

void tst_PanelInformation::failingQueryEndsTheAction_data()
{
    QTest::addColumn<QByteArray>("failing"); // broken link at this message
    QTest::addColumn<int>("warningCall");    // or: the n-th query completes with a warning
    QTest::addColumn<Messages>("sent");

    QTest::newRow("identity") << QByteArray("*IDN?") << 0 << Messages{"*IDN?\n"};
    QTest::newRow("placement") << placementQuery << 0 << Messages{"*IDN?\n", placementQuery};
    QTest::newRow("placement with a warning")
        << QByteArray() << 2 << Messages{"*IDN?\n", placementQuery};
}

void tst_PanelInformation::failingQueryEndsTheAction()
{
    QFETCH(QByteArray, failing);
    QFETCH(int, warningCall);
    QFETCH(Messages, sent);

    Rvka5630panel *panel = openModule();
    if (!failing.isEmpty())
        rig->module->failNth(failing, 1, SimModule::Fault::BreakLink);
    else
        vdvisaInjectStatus("viQueryf", warningCall, VI_WARN_UNKNOWN_STATUS);
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    DialogAnswerer answers;
    aboutButton()->click();
    QVERIFY(rig->settle());

    QCOMPARE(rig->module->transcript().messages(), sent);
    QCOMPARE(requests.count(), 1);
    QVERIFY(answers.shown().isEmpty());
}

void tst_PanelInformation::metrologyCheck_data()
{
    QTest::addColumn<QByteArray>("library"); // what the file holds when the check runs
    QTest::addColumn<bool>("missing");
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<QString>("title"); // of the outcome; empty: no box
    QTest::addColumn<QString>("text");
    QTest::addColumn<QMessageBox::Icon>("icon");

    const quint32 stamped = installedLibrary.mid(digitsAt, digitCount).toUInt(nullptr, 16);
    const QString match =
        QStringLiteral("Контрольная сумма файла и требуемая контрольная сумма совпадают!");
    const QString mismatch =
        QStringLiteral("Контрольная сумма файла и требуемая контрольная сумма не совпадают!");
    const QString metrology = QStringLiteral("Метрология");
    const QMessageBox::Icon information = QMessageBox::Information;
    const QMessageBox::Icon critical = QMessageBox::Critical;

    QTest::newRow("as delivered") << installedLibrary << false << false << metrology
                                  << match + details(stamped, stamped) << information;

    QByteArray changed = installedLibrary;
    const int changedAt = (digitsAt + digitCount + changed.size()) / 2;
    changed[changedAt] = char(changed.at(changedAt) ^ 0x01);
    QTest::newRow("a byte changed outside the digits")
        << changed << false << false << metrology
        << mismatch + details(referenceCrc32(withDigits(changed, digitsAt, 0)), stamped)
        << critical;

    quint32 lettered = 0;
    const QByteArray withLetters = restamped(
        installedLibrary, digitsAt, [](quint32 crc) { return crc % 16 > 9; }, &lettered);
    QTest::newRow("lower-case digits")
        << withDigits(withLetters, digitsAt, lettered, true) << false << false << metrology
        << match + details(lettered, lettered) << information;

    quint32 zeroLed = 0;
    const QByteArray padded = restamped(
        installedLibrary, digitsAt, [](quint32 crc) { return crc < 0x01000000u; }, &zeroLed);
    QTest::newRow("leading zeros") << withDigits(padded, digitsAt, zeroLed) << false << false
                                   << metrology << match + details(zeroLed, zeroLed) << information;

    QByteArray unmarked = installedLibrary;
    unmarked.replace(digitsAt - 1, 1, "-");
    QTest::newRow("no marker") << unmarked << false << false << metrology
                               << mismatch + details(referenceCrc32(unmarked), 0) << critical;

    QTest::newRow("deleted while the panel is open")
        << QByteArray() << true << false << QStringLiteral("Критическая ошибка")
        << QStringLiteral("Файл rvka5630_math.dll не найден.") << critical;
    QTest::newRow("unreadable") << QByteArray() << false << true << QString() << QString()
                                << QMessageBox::NoIcon;
}

void tst_PanelInformation::metrologyCheck()
{
    QFETCH(QByteArray, library);
    QFETCH(bool, missing);
    QFETCH(bool, unreadable);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QMessageBox::Icon, icon);

    openModule();
    // The panel reads the file when the check runs, not when it was opened.
    QVERIFY(QFile::remove(libraryCopy()));
    if (unreadable)
        QVERIFY(driverDir.mkdir("rvka5630_math.dll"));
    else if (!missing)
        writeLibraryCopy(library);

    DialogAnswerer answers;
    bool pollingWhileOpen = false;
    answers.press("Метрология");
    if (!title.isEmpty())
        answers.press("OK").inspect([&](QDialog *) { pollingWhileOpen = pollTimer()->isActive(); });
    aboutButton()->click();
    QVERIFY(rig->settle());

    QCOMPARE(answers.shown().size(), title.isEmpty() ? 1 : 2);
    QVERIFY(answers.unexpected().isEmpty());
    if (!title.isEmpty()) {
        const DialogAnswerer::Shown outcome = answers.shown().last();
        QCOMPARE(outcome.title, title);
        QCOMPARE(outcome.text, text);
        QCOMPARE(outcome.icon, icon);
        QVERIFY(!pollingWhileOpen);
    }
    QVERIFY(pollTimer()->isActive());
    QCOMPARE(pollTimer()->interval(), 250);
    // Polling goes on with the panel as it was.
    QTRY_VERIFY(rig->module->transcript().count("MEAS:VOLT?") > 0);
    QVERIFY(!rig->disconnectRequested());
}

// The debug window keeps polling while the box is open; when the module fails it, the panel is
// taken away under the box.
void tst_PanelInformation::panelTakenAwayWhileTheBoxIsOpen()
{
    Rvka5630panel *panel = openModule();
    connect(panel, &Rvka5630panel::disconnectDevice, panel, &QObject::deleteLater);
    rig->widget<QPushButton>("debugShowButton")->click();
    QVERIFY(rig->settle());
    const QPointer<Rvka5630panel> alive(panel);
    // Never hang on a box that stays open.
    QTimer safety;
    safety.setSingleShot(true);
    connect(&safety, &QTimer::timeout, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    safety.start(10000);
    rig->module->failNth("PIN:OVVOUT?", 1, SimModule::Fault::BreakLink);
    aboutButton()->click();
    QVERIFY(rig->settle());

    QVERIFY(!alive);
    rig->panel = nullptr;
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(tst_PanelInformation)
#include "tst_panelinformation.moc"
