// ctest-timeout: 120
// Building the module panel: the driver directory and its two library files, the session,
// the limits read into the value boxes, the folded trigger group, what the panel sends while
// it is built, and what its destructor gives back.
#include "dialoganswerer.h"
#include "driverdirectory.h"
#include "panelrig.h"
#include "programexit.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "rvka5630panel.h"
#include "toplevelwindow.h"
#include "ui_rvka5630panel.h"

#include <vdvisa_testing.h>

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QMetaMethod>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
const QByteArray installedPath = qgetenv("VXIPNPPATH");

// A VXIplug&play tree holding the named library files (empty placeholders).
bool layOutDriverDir(const QString &root, const QStringList &files)
{
    const QString bin = root + QStringLiteral("/winnt/bin/");
    if (!QDir().mkpath(bin))
        return false;
    for (const QString &name : files) {
        QFile file(bin + name);
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

QVector<QByteArray> firstMessages(SimModule *module, int count)
{
    return module->transcript().messages().mid(0, count);
}

const QVector<QByteArray> limitQueries = {"VOLT? MIN\n", "VOLT? MAX\n",      "CURR? MIN\n",
                                          "CURR? MAX\n", "VOLT:PROT? MIN\n", "VOLT:PROT? MAX\n"};
const QVector<QByteArray> settingQueries = {"VOLT?\n",   "CURR?\n",           "VOLT:PROT?\n",
                                            "OUTP?\n",   "TRIG:CONF:SOUR?\n", "TRIG:CONF:ERR?\n",
                                            "OVPOWER?\n"};

} // namespace

class tst_PanelConstruction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void constructionAloneTouchesNothing();
    void driverDirectory_data();
    void driverDirectory();
    void brokenInstallationEndsTheProgram_data();
    void brokenInstallationEndsTheProgram();
    void emptyVxipnppathLooksInTheWorkingDirectory();
    void sessionThatDoesNotOpen_data();
    void sessionThatDoesNotOpen();
    void limitsAndFormAfterConstruction();
    void failingLimitQuery_data();
    void failingLimitQuery();
    void failingReadBackEndsConstruction_data();
    void failingReadBackEndsConstruction();
    void triggerGroupFoldsToItsTitle();
    void signalsAndSlotsInOrder();
    void destructionReleasesSessionAndDebugWindow();

private:
    PanelRig *rig = nullptr;
    QVector<int> exits;
    int designedTriggerGroupHeight = 0;
    Ui::Rvka5630 designed;
    QWidget designedForm;
};

void tst_PanelConstruction::initTestCase()
{
    setProgramExitHandler([this](int status) { exits.append(status); });
    rig = new PanelRig;
    QVERIFY(rig->ready());
    designed.setupUi(&designedForm);
    designedTriggerGroupHeight = designed.groupBoxConfTrig->maximumHeight();
}

void tst_PanelConstruction::init()
{
    rig->reset();
    exits.clear();
    qputenv("VXIPNPPATH", installedPath);
}

void tst_PanelConstruction::cleanup()
{
    rig->close();
    qputenv("VXIPNPPATH", installedPath);
}

// The owner connects to the panel between construction and start: until start() nothing is
// checked, opened or sent.
void tst_PanelConstruction::constructionAloneTouchesNothing()
{
    qunsetenv("VXIPNPPATH");
    {
        Rvka5630panel panel(PanelRig::resource(PanelRig::moduleAddress), nullptr);
        QVERIFY(panel.findChild<QDoubleSpinBox *>("dsbVolt"));
        QVERIFY(!panel.findChild<QTimer *>("pollTimer"));
        QVERIFY(!topLevelWindow<Rvka5630Debug>());
        QTest::ignoreMessage(QtDebugMsg, "~Direrure5630");
    }
    QVERIFY(exits.isEmpty());
    QCOMPARE(rig->module->transcript().messages().size(), 0);
    QCOMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), 0);
}

void tst_PanelConstruction::driverDirectory_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("driverDir");

    QTest::newRow("backslashes and a trailing one")
        << QStringList{"PATH=/usr/bin", "VXIPNPPATH=C:\\Program Files\\IVI Foundation\\VISA\\"}
        << "C:/Program Files/IVI Foundation/VISA/winnt/bin/";
    QTest::newRow("empty value") << QStringList{"VXIPNPPATH="} << "winnt/bin/";
    QTest::newRow("missing") << QStringList{"PATH=/usr/bin", "VXIPNPPATH"} << QString();
    QTest::newRow("longer name or value listed first")
        << QStringList{"OLD_VXIPNPPATH=D:\\old\\", "NOTE=VXIPNPPATH=D:\\note\\",
                       "VXIPNPPATH=D:\\VXIPNP\\"}
        << "D:/VXIPNP/winnt/bin/";
    QTest::newRow("only a longer name") << QStringList{"OLD_VXIPNPPATH=D:\\old\\"} << QString();
    QTest::newRow("only the first match counts")
        << QStringList{"VXIPNPPATH=/opt/a/", "VXIPNPPATH=/opt/b/"} << "/opt/a/winnt/bin/";
}

void tst_PanelConstruction::driverDirectory()
{
    QFETCH(QStringList, environment);
    QFETCH(QString, driverDir);
    QCOMPARE(DriverDirectory::fromEnvironment(environment), driverDir);
}

void tst_PanelConstruction::brokenInstallationEndsTheProgram_data()
{
    QTest::addColumn<bool>("variableSet");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("message");

    QTest::newRow("no VXIPNPPATH")
        << false << QStringList() << "Не удалось обнаружить VXIPNPPATH в переменных среды";
    QTest::newRow("no driver library")
        << true << QStringList{"rvka5630_math.dll"} << "Файл rvka5630_32.dll не найден.";
    QTest::newRow("no math library")
        << true << QStringList{"rvka5630_32.dll"} << "Файл rvka5630_math.dll не найден.";
}

void tst_PanelConstruction::brokenInstallationEndsTheProgram()
{
    QFETCH(bool, variableSet);
    QFETCH(QStringList, files);
    QFETCH(QString, message);

    QTemporaryDir root;
    QVERIFY(layOutDriverDir(root.path(), files));
    if (variableSet)
        qputenv("VXIPNPPATH", (root.path() + '/').toUtf8());
    else
        qunsetenv("VXIPNPPATH");

    DialogAnswerer answers;
    answers.press("OK");
    rig->open(PanelRig::moduleAddress);

    QCOMPARE(exits, QVector<int>{-1});
    QCOMPARE(answers.shown().size(), 1);
    const DialogAnswerer::Shown box = answers.shown().first();
    QCOMPARE(box.title, QStringLiteral("Критическая ошибка"));
    QCOMPARE(box.text, message);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QStringList{"OK"});
    // Nothing reached the module and nothing was left open.
    QCOMPARE(rig->module->transcript().messages().size(), 0);
    QCOMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), 0);
    QVERIFY(!rig->panel->findChild<QTimer *>("pollTimer"));
}

void tst_PanelConstruction::emptyVxipnppathLooksInTheWorkingDirectory()
{
    QTemporaryDir root;
    QVERIFY(layOutDriverDir(root.path(), {"rvka5630_32.dll", "rvka5630_math.dll"}));
    const QString previous = QDir::currentPath();
    qputenv("VXIPNPPATH", QByteArray());

    QDir::setCurrent(root.path());
    QTest::ignoreMessage(QtDebugMsg, "path:winnt/bin/");
    rig->open(PanelRig::moduleAddress);
    QVERIFY(exits.isEmpty());
    QVERIFY(!rig->disconnectRequested());
    rig->close();

    // The same empty value where the working directory holds no libraries.
    QDir::setCurrent(QDir::tempPath());
    DialogAnswerer answers;
    answers.press("OK");
    rig->open(PanelRig::moduleAddress);
    QDir::setCurrent(previous);
    QCOMPARE(exits, QVector<int>{-1});
    QCOMPARE(answers.shown().size(), 1);
    QCOMPARE(answers.shown().first().text, QStringLiteral("Файл rvka5630_32.dll не найден."));
}

void tst_PanelConstruction::sessionThatDoesNotOpen_data()
{
    QTest::addColumn<bool>("served");
    QTest::addColumn<int>("warning"); // viOpen opens, but completes with this status
    QTest::newRow("nothing at the address") << false << 0;
    QTest::newRow("module refuses the link") << true << 0;
    QTest::newRow("opened with a warning") << true << int(VI_WARN_UNKNOWN_STATUS);
}

void tst_PanelConstruction::sessionThatDoesNotOpen()
{
    QFETCH(bool, served);
    QFETCH(int, warning);
    if (warning)
        vdvisaInjectStatus("viOpen", 1, warning);
    else if (served)
        rig->module->setRefuseLinks(true);

    DialogAnswerer answers;
    answers.press("OK");
    Rvka5630panel *panel = rig->open(served ? PanelRig::moduleAddress : PanelRig::absentAddress);

    QCOMPARE(answers.shown().size(), 1);
    QCOMPARE(answers.shown().first().title, QStringLiteral("Критическая ошибка"));
    QCOMPARE(answers.shown().first().text, QStringLiteral("Не удалось открыть соединение!"));
    // The request reaches the owner, which connected to it before the start.
    QVERIFY(rig->disconnectRequested());
    QVERIFY(exits.isEmpty());
    QVERIFY(!panel->findChild<QTimer *>("pollTimer"));
    QVERIFY(!topLevelWindow<Rvka5630Debug>());
    QCOMPARE(rig->module->transcript().messages().size(), 0);
    // A session that did open in spite of the status is closed with the panel.
    QCOMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), warning ? 1 : 0);
    rig->close();
    QTRY_COMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), 0);
}

void tst_PanelConstruction::limitsAndFormAfterConstruction()
{
    QTest::ignoreMessage(QtDebugMsg, ("path:" + installedPath + "winnt/bin/").constData());
    Rvka5630panel *panel = rig->open(PanelRig::moduleAddress);
    QVERIFY(!rig->disconnectRequested());
    QCOMPARE(panel->windowTitle(), QStringLiteral("Модуль питания RVKA5630 AXIe-0"));
    QCOMPARE(panel->objectName(), QStringLiteral("Rvka5630"));

    // Limits, then the read-back; the polls of construction send nothing: the page was not
    // shown yet.
    QCOMPARE(firstMessages(rig->module, 13), limitQueries + settingQueries);
    QCOMPARE(rig->module->transcript().count("MEAS:"), 0);

    struct Expected
    {
        const char *name;
        double minimum, maximum;
    };
    for (const Expected &box :
         {Expected{"dsbVolt", 0, 80}, Expected{"dsbCurr", 0, 12.5}, Expected{"dsbOvp", 1, 88}}) {
        auto *spin = rig->widget<QDoubleSpinBox>(box.name);
        QCOMPARE(spin->decimals(), 4);
        QCOMPARE(spin->minimum(), box.minimum);
        QCOMPARE(spin->maximum(), box.maximum);
    }
    // The module's reset values, read back.
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbCurr")->value(), 1.0);
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbOvp")->value(), 88.0);
    for (const char *name : {"sbInOutTrigger", "sbAbortTrigger"}) {
        QCOMPARE(rig->widget<QSpinBox>(name)->minimum(), 0);
        QCOMPARE(rig->widget<QSpinBox>(name)->maximum(), 12);
    }

    auto *group = rig->widget<QGroupBox>("groupBoxConfTrig");
    QVERIFY(!group->isChecked());
    QCOMPARE(group->maximumHeight(), QFontMetrics(group->font()).height());
    QVERIFY(!rig->widget<QPushButton>("setupTriggersButton")->isEnabled());
    // The module's self-test status allows the output from the start.
    QVERIFY(rig->widget<QPushButton>("outpButton")->isEnabled());

    auto *timer = panel->findChild<QTimer *>("pollTimer");
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 250);

    // The debug window exists, hidden, until the debug button shows it.
    Rvka5630Debug *debug = topLevelWindow<Rvka5630Debug>();
    QVERIFY(debug);
    QVERIFY(!debug->isVisible());
    rig->widget<QPushButton>("debugShowButton")->click();
    QVERIFY(debug->isVisible());
    QVERIFY(debug->isWindow());
}

void tst_PanelConstruction::failingLimitQuery_data()
{
    QTest::addColumn<int>("failing");
    QTest::addColumn<int>("status");
    for (int n = 1; n <= 6; ++n)
        QTest::addRow("query %d fails", n) << n << int(VI_ERROR_TMO);
    QTest::newRow("a warning on the last query") << 6 << int(VI_SUCCESS_MAX_CNT);
}

void tst_PanelConstruction::failingLimitQuery()
{
    QFETCH(int, failing);
    QFETCH(int, status);

    vdvisaInjectStatus("viQueryf", unsigned(failing), status);
    DialogAnswerer answers;
    Rvka5630panel *panel = rig->open(PanelRig::moduleAddress);

    QVERIFY(answers.shown().isEmpty()); // no message of its own
    QVERIFY(rig->disconnectRequested());
    QVERIFY(!panel->findChild<QTimer *>("pollTimer"));
    QVERIFY(!topLevelWindow<Rvka5630Debug>());
    // An error replaces the call; a warning comes after it was answered. Nothing follows.
    const int sent = status < 0 ? failing - 1 : failing;
    QCOMPARE(rig->module->transcript().messages(), limitQueries.mid(0, sent));

    // A range is taken only when both of its queries succeeded.
    const int complete = (failing - 1) / 2;
    const QDoubleSpinBox *designedBoxes[] = {designed.dsbVolt, designed.dsbCurr, designed.dsbOvp};
    const QPair<double, double> moduleRanges[] = {{0, 80}, {0, 12.5}, {1, 88}};
    const char *names[] = {"dsbVolt", "dsbCurr", "dsbOvp"};
    for (int i = 0; i < 3; ++i) {
        auto *box = rig->widget<QDoubleSpinBox>(names[i]);
        const QPair<double, double> expected =
            i < complete ? moduleRanges[i]
                         : qMakePair(designedBoxes[i]->minimum(), designedBoxes[i]->maximum());
        QCOMPARE(qMakePair(box->minimum(), box->maximum()), expected);
    }

    // Destroying such a panel closes the one session it opened.
    QCOMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), 1);
    rig->close();
    QTRY_COMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), 0);
}

void tst_PanelConstruction::failingReadBackEndsConstruction_data()
{
    QTest::addColumn<int>("failing"); // the query of construction that fails, from 1
    QTest::newRow("first setting") << 7;
    QTest::newRow("last setting") << 13;
    QTest::newRow("self-test status") << 14;
}

// A panel that has asked to close sends nothing more: no self-test status check, whose
// dialog could unlock the output, and no debug window with its queries.
void tst_PanelConstruction::failingReadBackEndsConstruction()
{
    QFETCH(int, failing);
    rig->model->setSelfTestStatus(1);
    vdvisaInjectStatus("viQueryf", unsigned(failing), VI_ERROR_TMO);
    DialogAnswerer answers;
    rig->open(PanelRig::moduleAddress);

    QVERIFY(rig->disconnectRequested());
    QVERIFY(answers.shown().isEmpty());
    QVERIFY(!topLevelWindow<Rvka5630Debug>());
    const QVector<QByteArray> construction =
        limitQueries + settingQueries + QVector<QByteArray>{"OUTP:PROT?\n"};
    QCOMPARE(rig->module->transcript().messages(), construction.mid(0, failing - 1));
}

void tst_PanelConstruction::triggerGroupFoldsToItsTitle()
{
    rig->open(PanelRig::moduleAddress);
    auto *group = rig->widget<QGroupBox>("groupBoxConfTrig");
    const int folded = QFontMetrics(group->font()).height();
    QVERIFY(designedTriggerGroupHeight > folded);

    for (int round = 0; round < 2; ++round) {
        QTest::keyClick(group, Qt::Key_Space); // the operator ticks the group's check box
        QVERIFY(group->isChecked());
        QCOMPARE(group->maximumHeight(), designedTriggerGroupHeight);
        QVERIFY(rig->widget<QSpinBox>("sbInOutTrigger")->isEnabled());
        QTest::keyClick(group, Qt::Key_Space);
        QVERIFY(!group->isChecked());
        QCOMPARE(group->maximumHeight(), folded);
        QVERIFY(!rig->widget<QSpinBox>("sbInOutTrigger")->isEnabled());
    }
    // A second panel of the same run folds and unfolds to the same heights.
    rig->open(PanelRig::moduleAddress);
    group = rig->widget<QGroupBox>("groupBoxConfTrig");
    QCOMPARE(group->maximumHeight(), folded);
    QTest::keyClick(group, Qt::Key_Space);
    QCOMPARE(group->maximumHeight(), designedTriggerGroupHeight);
}

void tst_PanelConstruction::signalsAndSlotsInOrder()
{
    // The host relies on the signal's index and the debug window's owner on the slot order.
    const QMetaObject &meta = Rvka5630panel::staticMetaObject;
    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        methods << QString::fromLatin1(meta.method(i).methodSignature());
    const QStringList expected = {"disconnectDevice()",
                                  "on_disconnectButton_clicked()",
                                  "on_outpButton_clicked(bool)",
                                  "on_clearFaultsButton_clicked()",
                                  "on_setupParametersButton_clicked()",
                                  "on_setupTriggersButton_clicked()",
                                  "on_selfTestButton_clicked()",
                                  "on_resetButton_clicked()",
                                  "on_rbNormalWatt_clicked()",
                                  "on_rbOverWatt_clicked()",
                                  "on_debugShowButton_clicked()",
                                  "on_groupBoxConfTrig_clicked(bool)",
                                  "on_calibButton_clicked()",
                                  "on_aboutButton_clicked()",
                                  "on_swUpdateButton_clicked()",
                                  "onDebugDisconnectDevice()",
                                  "settableDataUpdate()",
                                  "gettableDataUpdate()",
                                  "on_chartButton_clicked()"};
    QCOMPARE(methods, expected);
}

void tst_PanelConstruction::destructionReleasesSessionAndDebugWindow()
{
    Rvka5630panel *panel = rig->open(PanelRig::moduleAddress);
    QCOMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), 1);
    QPointer<Rvka5630Debug> debug = topLevelWindow<Rvka5630Debug>();
    QVERIFY(debug);
    rig->widget<QPushButton>("debugShowButton")->click();

    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    rig->widget<QPushButton>("disconnectButton")->click();
    QCOMPARE(requests.count(), 1);
    emit debug->debugDisconnectDevice();
    QCOMPARE(requests.count(), 2);

    // The debug window goes by deferred deletion: it may be inside one of its own slots.
    QTest::ignoreMessage(QtDebugMsg, "~Direrure5630");
    QTest::ignoreMessage(QtDebugMsg, "~Direrure5630Debug");
    delete rig->panel;
    rig->panel = nullptr;
    QVERIFY(debug);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!debug);
    QTRY_COMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), 0);
}

QTEST_MAIN(tst_PanelConstruction)
#include "tst_panelconstruction.moc"
