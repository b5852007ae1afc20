// ctest-timeout: 300
// The scenario group of the debug window with its module panel hosted in the main window: the
// path dialogs and prompts, the validation of a selection, the progress shown while the
// scenarios run in their fixed order with both panels disabled, and a module failure in the
// middle of a run, which must leave both panels alive until the run has returned.
#include "dialoganswerer.h"
#include "eventloopgaps.h"
#include "modulethread.h"
#include "modulework.h"
#include "protocolfile.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "rvka5630panel.h"
#include "scenarioselection.h"
#include "scenariosummary.h"
#include "searchwait.h"
#include "settlingpause.h"
#include "simlan.h"
#include "timefacility.h"
#include "toplevelwindow.h"
#include "widget.h"

#include <vdvisa_testing.h>

#include <QCheckBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.2");
const QString missingEquipment =
    QStringLiteral("Поверка: не удалось обнаружить доп. оборудование!");
const QString calibrationMissingEquipment =
    QStringLiteral("Автокалибровка: не удалось обнаружить доп. оборудование!");

// The scenarios in their running order: check box, path field, path button.
const char *const boxes[] = {"cbAutoCalib", "cbVdc",  "cbVdcCurr", "cbVacCurr",
                             "cbIdc",       "cbIdcN", "cbIac"};
const char *const fields[] = {nullptr, "leVdc",  "leVdcCurr", "leVacCurr",
                              "leIdc", "leIdcN", "leIac"};

// The main window with the module panel connected and its debug window shown.
struct Host
{
    Widget widget;
    QStackedWidget *stack = widget.findChild<QStackedWidget *>("stackedWidget");
    QPointer<Rvka5630panel> panel;
    QPointer<Rvka5630Debug> debug;

    Host()
    {
        widget.show();
        refreshAndWait(widget);
        auto *table = widget.findChild<QTableWidget *>("devicesTable");
        if (table->rowCount() == 0)
            return;
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualItemRect(table->item(0, 1)).center());
        QTest::mouseClick(widget.findChild<QPushButton *>("connectButton"), Qt::LeftButton);
        panel = qobject_cast<Rvka5630panel *>(stack->currentWidget());
        if (!panel || !waitForModuleWork(&panel->moduleThread()))
            return;
        panel->findChild<QPushButton *>("debugShowButton")->click();
        debug = topLevelWindow<Rvka5630Debug>();
    }

    // Closing the window takes the panel down; its deletion, and then the debug window's,
    // follow from the event loop.
    ~Host()
    {
        widget.close();
        for (int i = 0; i < 2; ++i) {
            QTest::qWait(30);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    template <class T> T *child(const char *name) const
    {
        return debug->findChild<T *>(QString::fromLatin1(name));
    }

    // Ticks the scenarios in ticked (by their running order) with the given paths, without
    // going through the path prompts.
    void select(const QVector<bool> &ticked, const QStringList &paths)
    {
        for (int i = 0; i < 7; ++i) {
            child<QCheckBox>(boxes[i])->setChecked(ticked.value(i));
            if (fields[i])
                child<QLineEdit>(fields[i])->setText(paths.value(i - 1));
        }
    }

    // The click hands the run to the module's thread; this waits until it has come back and
    // been shown, or the panel has gone.
    void run()
    {
        const QPointer<ModuleThread> thread = panel->findChild<ModuleThread *>();
        QTest::mouseClick(child<QPushButton>("runScriptsButton"), Qt::LeftButton);
        waitForModuleWork(thread, 120000);
    }
};

// What the run looked like from outside, sampled every few milliseconds while it runs.
struct RunWatch : QObject
{
    Host &host;
    QTimer timer;
    QVector<int> values; // each value the progress display showed, in order
    int maximum = -1;
    QString label;
    Qt::WindowModality modality = Qt::NonModal;
    bool cancelButton = false;
    bool progressParentIsDebug = false;
    bool panelsDisabled = false; // both, whenever the progress display was up
    bool panelsEnabledMeanwhile = false;
    bool panelsAliveThroughout = true;
    bool cameBack = false;
    // Each change of the panels' enabled state, in order: "panel off", "debug on", ...
    QStringList enabledChanges;

    // The values shown once the first scenario had started: the display may show its
    // starting 0 for a moment before.
    QVector<int> shownValues() const
    {
        return values.size() > 1 && values.first() == 0 ? values.mid(1) : values;
    }

    explicit RunWatch(Host &h) : host(h)
    {
        timer.setInterval(2);
        connect(&timer, &QTimer::timeout, this, [this] { sample(nullptr); });
        timer.start();
        // An empty run shows its display only between two instructions.
        qApp->installEventFilter(this);
    }

    ~RunWatch() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange &&
            (object == host.panel.data() || object == host.debug.data())) {
            const auto *changed = static_cast<QWidget *>(object);
            enabledChanges << QLatin1String(changed == host.panel.data() ? "panel " : "debug ") +
                                  QLatin1String(changed->isEnabled() ? "on" : "off");
        }
        // Closed and its panel taken down in one go: seen as it closes.
        if (event->type() == QEvent::Hide && qobject_cast<QProgressDialog *>(object))
            sample(nullptr);
        if (event->type() == QEvent::Show)
            if (auto *progress = qobject_cast<QProgressDialog *>(object)) {
                sample(progress);
                // Every value as it is set: two steps that come back together would fall
                // between two samples on a slow machine.
                if (auto *bar = progress->findChild<QProgressBar *>())
                    connect(bar, &QProgressBar::valueChanged, this, [this](int value) {
                        if (values.isEmpty() || values.last() != value)
                            values << value;
                    });
            }
        return false;
    }

    void sample(QProgressDialog *shown)
    {
        // Once the run has come back (its display shown and closed again), a panel taken down
        // by a failure of the run may go.
        if (!host.panel || !host.debug) {
            if (!cameBack)
                panelsAliveThroughout = false;
            return;
        }
        QProgressDialog *progress = shown ? shown : host.debug->findChild<QProgressDialog *>();
        if (!progress || (!shown && !progress->isVisible())) {
            cameBack = cameBack || !values.isEmpty();
            return;
        }
        if (values.isEmpty() || values.last() != progress->value())
            values << progress->value();
        maximum = progress->maximum();
        label = progress->labelText();
        modality = progress->windowModality();
        const auto *stop = progress->findChild<QPushButton *>();
        cancelButton = stop && stop->text() == QStringLiteral("Стоп");
        progressParentIsDebug = progress->parentWidget() == host.debug;
        const bool disabled = !host.panel->isEnabled() && !host.debug->isEnabled();
        panelsDisabled = disabled;
        panelsEnabledMeanwhile = panelsEnabledMeanwhile || !disabled;
    }
};

} // namespace

// Takes the URLs the program asks the system to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestScenarioRunner : public QObject
{
    Q_OBJECT

private:
    // The summary box of the last run, one "name | outcome | button" line per scenario.
    static QStringList summaryRows(Host &host)
    {
        const QList<ScenarioSummary *> shown = host.debug->findChildren<ScenarioSummary *>();
        if (shown.size() != 1 || !shown.first()->isVisible())
            return {"no summary box"};
        auto *rows = shown.first()->findChild<QGridLayout *>();
        QStringList lines;
        for (int row = 0; row < rows->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < rows->columnCount(); ++column) {
                QLayoutItem *item = rows->itemAtPosition(row, column);
                if (auto *label = item ? qobject_cast<QLabel *>(item->widget()) : nullptr)
                    cells << label->text();
                if (auto *button = item ? qobject_cast<QPushButton *>(item->widget()) : nullptr)
                    cells << button->text();
            }
            lines << cells.join(" | ");
        }
        return lines;
    }

    SimLan lan;
    SimModule *module = nullptr;
    SimSerialMultimeter *meter = nullptr;
    SimSerialLoad *load = nullptr;
    QTemporaryDir dir;

    TimeFacility &time() { return TimeFacility::instance(); }

    QStringList texts(const QVector<DialogAnswerer::Shown> &shown)
    {
        QStringList result;
        for (const DialogAnswerer::Shown &box : shown)
            result << box.text;
        return result;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(dir.isValid());
        module = lan.addBenchModule(moduleAddress);
        QVERIFY(module);
        meter = lan.bench().multimeter();
        load = lan.bench().load();
    }

    void init()
    {
        time().setSpeedup(50.0);
        vdvisaClearInjections();
        lan.rvka5630(moduleAddress)->execute("*RST\n");
        meter->transcript().clear();
        load->transcript().clear();
        // Without instruments every scenario ends at once with its own message.
        qputenv("VOLTADESK_SERIAL_PORTS", "");
    }

    void cleanupTestCase() { time().setSpeedup(1.0); }

    void pathPrompts_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("button");
        QTest::newRow("voltage range") << "cbVdc"
                                       << "leVdc"
                                       << "vdcPathButton";
        QTest::newRow("voltage instability") << "cbVdcCurr"
                                             << "leVdcCurr"
                                             << "vdcCurrPathButton";
        QTest::newRow("voltage ripple") << "cbVacCurr"
                                        << "leVacCurr"
                                        << "vacCurrPathButton";
        QTest::newRow("current range") << "cbIdc"
                                       << "leIdc"
                                       << "idcPathButton";
        QTest::newRow("current instability") << "cbIdcN"
                                             << "leIdcN"
                                             << "idcNPathButton";
        QTest::newRow("current ripple") << "cbIac"
                                        << "leIac"
                                        << "iacPathButton";
    }

    void pathPrompts()
    {
        QFETCH(QString, box);
        QFETCH(QString, field);
        QFETCH(QString, button);
        Host host;
        QVERIFY(host.debug);
        auto *check = host.child<QCheckBox>(qPrintable(box));
        auto *path = host.child<QLineEdit>(qPrintable(field));
        auto *choose = host.child<QPushButton>(qPrintable(button));
        QVERIFY(!path->isEnabled());
        const QString chosen = dir.filePath(box + ".html");

        // Ticked with no path: the dialog comes at once; cancelled, the box stays ticked
        // without a path, and the run refuses the selection.
        DialogAnswerer answerer;
        answerer.choosePath(QString());
        check->click();
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(check->isChecked());
        QVERIFY(path->text().isEmpty());
        answerer.press("OK");
        RunWatch watch(host);
        host.run();
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(watch.values.isEmpty());
        QVERIFY(host.panel->isEnabled() && host.debug->isEnabled());

        // The path button fills the field; unticking and ticking again with a path asks
        // nothing; the button cancelled empties the field.
        answerer.choosePath(chosen);
        choose->click();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(path->text(), chosen);
        // A name typed without a suffix gets the filter's.
        answerer.choosePath(dir.filePath(box));
        choose->click();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(path->text(), chosen);
        check->click();
        check->click();
        QVERIFY(check->isChecked());
        answerer.choosePath(QString());
        choose->click();
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(path->text().isEmpty());

        const QVector<DialogAnswerer::Shown> shown = answerer.shown();
        QCOMPARE(shown.size(), 5);
        QCOMPARE(shown[1].text, QStringLiteral("Поля заполнены неверно!"));
        QCOMPARE(shown[1].title, QStringLiteral("Ошибка"));
        QCOMPARE(shown[1].icon, QMessageBox::Critical);
        for (int i : {0, 2, 3, 4}) {
            QCOMPARE(shown[i].kind, DialogAnswerer::Kind::FileDialog);
            QCOMPARE(shown[i].title, QStringLiteral("Сохранить отчет"));
            QCOMPARE(shown[i].nameFilter, QStringLiteral("HTML страница (*.html)"));
        }
        QVERIFY(answerer.unexpected().isEmpty());
    }

    void validation_data()
    {
        QTest::addColumn<QVector<bool>>("ticked"); // in running order, calibration first
        QTest::addColumn<QStringList>("paths");    // of the six verifications
        QTest::addColumn<bool>("valid");

        const QStringList distinct = {"1.html", "2.html", "3.html", "4.html", "5.html", "6.html"};
        const QVector<bool> all(7, true);
        QTest::newRow("all with paths of their own") << all << distinct << true;
        QTest::newRow("a ticked verification without a path")
            << all << QStringList{"1.html", "2.html", "3.html", "", "5.html", "6.html"} << false;
        QTest::newRow("first and last share a path")
            << all << QStringList{"1.html", "2.html", "3.html", "4.html", "5.html", "1.html"}
            << false;
        QTest::newRow("two in the middle share a path")
            << all << QStringList{"1.html", "2.html", "3.html", "3.html", "5.html", "6.html"}
            << false;
        QTest::newRow("shared with an unticked one")
            << QVector<bool>{false, true, false, false, false, false, true}
            << QStringList{"1.html", "", "", "1.html", "", "6.html"} << true;
        QTest::newRow("paths differing in case only")
            << QVector<bool>{false, true, false, false, false, false, true}
            << QStringList{"a.html", "", "", "", "", "A.html"} << true;
        QTest::newRow("calibration alone, no paths at all")
            << QVector<bool>{true, false, false, false, false, false, false} << QStringList()
            << true;
    }

    void validation()
    {
        QFETCH(QVector<bool>, ticked);
        QFETCH(QStringList, paths);
        QFETCH(bool, valid);
        Host host;
        QVERIFY(host.debug);
        for (QString &path : paths)
            if (!path.isEmpty())
                path = dir.filePath(path);
        host.select(ticked, paths);

        QStringList expected;
        if (!valid)
            expected << "Поля заполнены неверно!";
        else
            for (int i = 0; i < 7; ++i)
                if (ticked[i])
                    expected << (i == 0 ? calibrationMissingEquipment : missingEquipment);
        DialogAnswerer answerer;
        for (int i = 0; i < expected.size(); ++i)
            answerer.press("OK");
        RunWatch watch(host);
        host.run();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(texts(answerer.shown()), expected);
        QCOMPARE(watch.values.isEmpty(), !valid);
        QVERIFY(host.panel->isEnabled() && host.debug->isEnabled());
    }

    // An earlier protocol is replaced only when the operator agrees, asked once for all of
    // them before anything starts; an empty file or a new path is not asked about.
    void existingProtocolsAskFirst_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("no") << "Нет";
        QTest::newRow("yes") << "Да";
    }

    void existingProtocolsAskFirst()
    {
        QFETCH(QString, answer);
        Host host;
        QVERIFY(host.debug);
        const QByteArray earlier = "an earlier protocol";
        const QStringList paths = {dir.filePath("earlier-vdc.html"), dir.filePath("empty.html"),
                                   dir.filePath("new.html"), dir.filePath("earlier-iac.html")};
        QFile::remove(paths[2]);
        for (int i : {0, 1, 3}) {
            QFile file(paths[i]);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(i == 1 ? QByteArray() : earlier);
        }
        host.select({false, true, true, false, true, false, true},
                    {paths[0], paths[1], "", paths[2], "", paths[3]});
        const bool agreed = answer == "Да";
        DialogAnswerer answerer;
        answerer.press(answer);
        for (int i = 0; agreed && i < 4; ++i)
            answerer.press("OK");
        RunWatch watch(host);
        host.run();
        QVERIFY(answerer.waitUntilAnswered());
        QTest::qWait(50);
        const QVector<DialogAnswerer::Shown> shown = answerer.shown();
        QCOMPARE(shown.size(), agreed ? 5 : 1);
        QCOMPARE(shown[0].title, QString("Метрология"));
        QCOMPARE(shown[0].buttons, (QStringList{"Да", "Нет"}));
        QCOMPARE(shown[0].text, "Эти протоколы уже существуют и будут заменены:\n" + paths[0] +
                                    "\n" + paths[3] + "\n\nЗаменить их?");
        QCOMPARE(watch.values.isEmpty(), !agreed);
        QVERIFY(answerer.unexpected().isEmpty());
        // Once agreed, a procedure writes its protocol from its start as ever.
        for (int i : {0, 3}) {
            QFile file(paths[i]);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), agreed ? QByteArray() : earlier);
        }
    }

    // Two paths name one file when they differ in case only where the file system ignores
    // case, as on Windows; elsewhere they are two files.
    void samePathUnderEachCaseRule_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<Qt::CaseSensitivity>("rule");
        QTest::addColumn<bool>("valid");

        const QString upper = QStringLiteral("C:/Протоколы/Ripple.HTML");
        const QString lower = QStringLiteral("c:/протоколы/ripple.html");
        QTest::newRow("case ignored: case only") << upper << lower << Qt::CaseInsensitive << false;
        QTest::newRow("case ignored: other names")
            << upper << QStringLiteral("C:/Протоколы/Ripple2.html") << Qt::CaseInsensitive << true;
        QTest::newRow("case kept: case only") << upper << lower << Qt::CaseSensitive << true;
        QTest::newRow("case kept: same text") << lower << lower << Qt::CaseSensitive << false;
    }

    void samePathUnderEachCaseRule()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(Qt::CaseSensitivity, rule);
        QFETCH(bool, valid);
        ScenarioSelection selection(rule);
        selection.add(true, first);
        selection.add(false, QString());
        selection.add(true, second);
        QCOMPARE(selection.valid(), valid);
    }

    void progress_data()
    {
        QTest::addColumn<QVector<bool>>("ticked");
        QTest::addColumn<QVector<int>>("values");
        QTest::addColumn<QVector<int>>("valuesAtMessages");

        QTest::newRow("nothing ticked")
            << QVector<bool>(7, false) << QVector<int>{0} << QVector<int>();
        QTest::newRow("calibration and current ripple")
            << QVector<bool>{true, false, false, false, false, false, true}
            << QVector<int>{1, 2, 3, 4} << QVector<int>{4, 4};
        QTest::newRow("all seven")
            << QVector<bool>(7, true) << QVector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}
            << QVector<int>(7, 14);
    }

    void progress()
    {
        QFETCH(QVector<bool>, ticked);
        QFETCH(QVector<int>, values);
        QFETCH(QVector<int>, valuesAtMessages);
        Host host;
        QVERIFY(host.debug);
        QStringList paths;
        for (int i = 1; i <= 6; ++i)
            paths << dir.filePath(QString("progress%1.html").arg(i));
        host.select(ticked, paths);

        DialogAnswerer answerer;
        QVector<int> atMessages;
        for (int i = 0; i < valuesAtMessages.size(); ++i)
            answerer.press("OK").inspect([&](QDialog *) {
                atMessages << host.debug->findChild<QProgressDialog *>()->value();
            });
        RunWatch watch(host);
        time().clearRequests();
        host.run();
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(answerer.unexpected().isEmpty());

        QCOMPARE(watch.shownValues(), values);
        QCOMPARE(atMessages, valuesAtMessages);
        QCOMPARE(watch.maximum, 2 * int(std::count(ticked.begin(), ticked.end(), true)));
        QVERIFY2(watch.label.startsWith(QStringLiteral("Ожидание выполнения программы...")),
                 qPrintable(watch.label));
        QCOMPARE(watch.modality, Qt::WindowModal);
        QVERIFY(watch.cancelButton);
        QVERIFY(watch.progressParentIsDebug);
        QVERIFY(watch.panelsDisabled);
        QVERIFY(!watch.panelsEnabledMeanwhile);
        // The module panel goes first and comes back last.
        QCOMPARE(watch.enabledChanges,
                 (QStringList{"panel off", "debug off", "debug on", "panel on"}));
        // A second after each scenario and one after the display has closed.
        QCOMPARE(time().requested(TimeFacility::Kind::Pause),
                 QVector<int>(valuesAtMessages.size() + 1, 1000));
        QVERIFY(host.panel->isEnabled() && host.debug->isEnabled());
        QVERIFY(!host.debug->findChild<QProgressDialog *>());
    }

    // With the multimeter on the bench and no load, the calibration and the voltage range
    // procedure run through, the other five end at their search for the load: the meter's
    // opening lines show the order.
    void fixedOrder()
    {
        Host host;
        QVERIFY(host.debug);
        qputenv("VOLTADESK_SERIAL_PORTS", meter->portEntry().toUtf8());
        QStringList paths;
        for (int i = 1; i <= 6; ++i)
            paths << dir.filePath(QString("order%1.html").arg(i));
        host.select(QVector<bool>(7, true), paths);
        module->transcript().clear(); // the panel's own polls before the run
        DialogAnswerer answerer;
        QVector<int> atMessages;
        for (int i = 0; i < 5; ++i)
            answerer.press("OK").inspect([&](QDialog *) {
                atMessages << host.debug->findChild<QProgressDialog *>()->value();
            });
        host.run();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(texts(answerer.shown()), QVector<QString>(5, missingEquipment).toList());
        // The messages come once the run is over, over the display's last value.
        QCOMPARE(atMessages, QVector<int>(5, 14));

        QVERIFY(meter->transcript().waitFor(
            [](const QByteArray &m) { return m == "MEAS:CURR:AC? MAX,DEF\n"; }, 2000));
        // Each opening: "SYST:REM", the configuration, then the priming query.
        QVector<QByteArray> primings;
        const QVector<QByteArray> lines = meter->transcript().messages();
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i] != "SYST:REM\n")
                continue;
            int next = i + 1;
            while (next < lines.size() && lines[next].startsWith("CONF:"))
                ++next;
            primings << lines.value(next);
        }
        QCOMPARE(primings,
                 QVector<QByteArray>({"MEAS:VOLT:DC?\n", "MEAS:VOLT:DC?\n", "MEAS:VOLT:DC?\n",
                                      "MEAS:VOLT:AC? 100e-3,DEF\n", "MEAS:CURR:DC? MAX,DEF\n",
                                      "MEAS:CURR:DC? MAX,DEF\n", "MEAS:CURR:AC? MAX,DEF\n"}));
        const QVector<QByteArray> sent = module->transcript().messages();
        const int lastCalibration = sent.lastIndexOf("CAL:SAVE\n");
        QVERIFY(lastCalibration > 0);
        QVERIFY(sent.indexOf("MEAS:VOLT?\n") > lastCalibration);
        QCOMPARE(ProtocolFile::rows(ProtocolFile::read(paths[0])).size(), 11);
        for (int i = 1; i < 6; ++i)
            QCOMPARE(ProtocolFile::read(paths[i]), QByteArray());
    }

    // The whole selection on a complete bench: every scenario runs through without a message
    // and writes its protocol, and the module receives each command as a message of its own.
    void everyScenarioOnTheBench()
    {
        Host host;
        QVERIFY(host.debug);
        qputenv("VOLTADESK_SERIAL_PORTS", (meter->portEntry() + ';' + load->portEntry()).toUtf8());
        QStringList paths;
        for (int i = 1; i <= 6; ++i)
            paths << dir.filePath(QString("bench%1.html").arg(i));
        host.select(QVector<bool>(7, true), paths);
        module->transcript().clear();
        DialogAnswerer answerer;
        host.run();
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY(answerer.shown().isEmpty());
        const int rows[] = {11, 2, 2, 6, 1, 1};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(ProtocolFile::rows(ProtocolFile::read(paths[i])).size(), rows[i]);
        // One line end per message, at its end: a formatted write held back until the next
        // command's line end would arrive merged with it.
        QByteArrayList notSingle;
        for (const QByteArray &message : module->transcript().messages())
            if (message.count('\n') != 1 || !message.endsWith('\n'))
                notSingle << message;
        QCOMPARE(notSingle.join(" | "), QByteArray());
    }

    // The calibration loses the module at its first command: the main window takes the
    // panels down, yet the run goes on (the voltage range procedure still runs on the open
    // session) and both panels are deleted only after the run has come back.
    void moduleFailureDuringRun()
    {
        Host host;
        QVERIFY(host.debug);
        qputenv("VOLTADESK_SERIAL_PORTS", meter->portEntry().toUtf8());
        const QString path = dir.filePath("afterFailure.html");
        host.select({true, true, false, false, false, false, false}, {path});
        DialogAnswerer answerer;
        answerer.press("OK");
        RunWatch watch(host);
        vdvisaInjectStatus("viPrintf", 1, VI_ERROR_CONN_LOST);
        QTest::ignoreMessage(QtDebugMsg, "~Direrure5630");
        QTest::ignoreMessage(QtDebugMsg, "~Direrure5630Debug");
        host.run();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(texts(answerer.shown()),
                 QStringList{"Автокалибровка: связь с устройством разорвана!"});
        QCOMPARE(host.stack->currentIndex(), 0);
        QCOMPARE(host.widget.findChild<QLabel *>("headerLabel")->text(),
                 QStringLiteral("Korvalis"));
        QVERIFY(watch.panelsAliveThroughout);
        QCOMPARE(watch.shownValues(), QVector<int>({1, 2, 3, 4}));
        QVERIFY(QFile::exists(path));
        QTRY_VERIFY(!host.panel);
        QTRY_VERIFY(!host.debug);
    }

    // At full speed, "Стоп" in the first point's settling pause of the current range
    // procedure ends it within a second with the output and the load input off and its
    // protocol empty; the ripple procedure after it is skipped, and the summary tells of the
    // stop without a box.
    void stopEndsTheProcedure()
    {
        Host host;
        QVERIFY(host.debug);
        lan.publishSerialPorts();
        time().setSpeedup(1.0);
        const QString stopped = dir.filePath("stopped.html");
        const QString skipped = dir.filePath("skipped.html");
        host.select({false, false, false, false, true, false, true},
                    {QString(), QString(), QString(), stopped, QString(), skipped});
        module->transcript().clear();
        load->transcript().clear();
        const auto progress = [&host] { return host.debug->findChild<QProgressDialog *>(); };
        SettlingPause settling(module, [&] {
            QTest::mouseClick(progress()->findChild<QPushButton *>(), Qt::LeftButton);
        });
        // The stopped procedure's end shows as the display's second step, or as the display
        // gone once the run has come back.
        qint64 stoppedWithin = -1;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (settling.acted().isValid() && stoppedWithin < 0 &&
                (!progress() || !progress()->isVisible() || progress()->value() == 2))
                stoppedWithin = settling.acted().elapsed();
        });
        watch.start(10);
        DialogAnswerer answerer;
        host.run();
        QVERIFY(answerer.shown().isEmpty());
        QVERIFY(stoppedWithin >= 0);
        QVERIFY2(stoppedWithin < 1000, qPrintable(QString::number(stoppedWithin)));
        QTRY_COMPARE(load->transcript().messages().last(), QByteArray("SYST:LOCK OFF\n"));
        // The output commands, not the panel's poll of the output state, which resumes after the run.
        QCOMPARE(module->transcript().startingWith("OUTP ").last(), QByteArray("OUTP 0\n"));
        QCOMPARE(load->transcript().startingWith("INP").last(), QByteArray("INP 0\n"));
        QCOMPARE(ProtocolFile::read(stopped), QByteArray());
        QVERIFY(!QFile::exists(skipped));
        QCOMPARE(summaryRows(host),
                 QStringList{"Поверка воспроизведения/измерения выходного тока | Поверка: "
                             "остановлена оператором."});
    }

    // With every reply of the module 50 ms late and the clock at full speed, the window keeps
    // its event loop going through a procedure (no gap over 50 ms while the run is shown), and
    // "Стоп" ends the procedure in the pause under way.
    void windowStaysLiveWhileAProcedureRuns()
    {
        Host host;
        QVERIFY(host.debug);
        qputenv("VOLTADESK_SERIAL_PORTS", meter->portEntry().toUtf8());
        time().setSpeedup(1.0);
        const QString path = dir.filePath("live.html");
        host.select({false, true, false, false, false, false, false}, {path});
        const QPointer<ModuleThread> thread = host.panel->findChild<ModuleThread *>();
        QVERIFY(thread);
        module->setReplyDelayMs(50);
        DialogAnswerer answerer;
        QTest::mouseClick(host.child<QPushButton>("runScriptsButton"), Qt::LeftButton);
        const QPointer<QProgressDialog> progress = host.debug->findChild<QProgressDialog *>();
        QVERIFY(progress && progress->isVisible());

        EventLoopGaps gaps;
        QElapsedTimer sinceStop;
        QTimer::singleShot(3000, this, [&] {
            sinceStop.start();
            QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        });
        QDeadlineTimer deadline(30000);
        while (progress && progress->isVisible() && !deadline.hasExpired())
            QTest::qWait(2);
        const qint64 stoppedWithin = sinceStop.isValid() ? sinceStop.elapsed() : -1;
        gaps.stop();
        module->setReplyDelayMs(0);
        QVERIFY(waitForModuleWork(thread, 30000));

        QVERIFY2(gaps.longestMs() <= 50, qPrintable(QString::number(gaps.longestMs())));
        QVERIFY(stoppedWithin >= 0);
        QVERIFY2(stoppedWithin < 500, qPrintable(QString::number(stoppedWithin)));
        QVERIFY(answerer.shown().isEmpty());
        QCOMPARE(summaryRows(host),
                 QStringList{"Поверка воспроизведения/измерения напряжения | Поверка: "
                             "остановлена оператором."});
        QCOMPARE(module->transcript().startingWith("OUTP ").last(), QByteArray("OUTP 0\n"));
    }

    // The summary: one line per scenario with its outcome, and a button that opens each
    // written protocol.
    void summaryListsVerdicts()
    {
        Host host;
        QVERIFY(host.debug);
        qputenv("VOLTADESK_SERIAL_PORTS", meter->portEntry().toUtf8());
        auto *model = lan.rvka5630(moduleAddress);
        model->execute("CAL:VOLT:CLEAR\n");
        model->execute("CAL:SAVE\n");
        const QString vdc = dir.filePath("summaryVdc.html");
        host.select({false, true, false, false, true, false, false},
                    {vdc, QString(), QString(), dir.filePath("summaryIdc.html")});
        DialogAnswerer answerer;
        answerer.press("OK");
        host.run();
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(summaryRows(host),
                 (QStringList{"Поверка воспроизведения/измерения напряжения | \"не норма\": 8 из "
                              "11 точек | Открыть протокол",
                              "Поверка воспроизведения/измерения выходного тока | Поверка: не "
                              "удалось обнаружить доп. оборудование!"}));
        UrlCatcher opened;
        QDesktopServices::setUrlHandler("file", &opened, "open");
        host.debug->findChild<ScenarioSummary *>()->findChild<QPushButton *>()->click();
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(vdc)});
    }
};

QTEST_MAIN(TestScenarioRunner)
#include "tst_scenariorunner.moc"
