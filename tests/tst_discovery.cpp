// ctest-timeout: 180
// The main window and instrument discovery against a simulated LAN: which instruments are
// listed and how, the busy dialog and its cancel, the shared find list of abandoned
// refreshes, probe sessions that are always closed, and a GUI thread that never blocks.
#include "eventloopgaps.h"
#include "searchwait.h"
#include "simlan.h"
#include "widget.h"

#include <visa.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QThreadPool>
#include <QtTest>

namespace {
const QByteArray placeQuery = "CONF:PLACEID?;ADDRID?;SWITCHID?";
const QString rvka = QStringLiteral("Korvalis,RVKA5630,0042,1.3");
const QString fullPlace = QStringLiteral("PLACEID: 1; ADDRID: 7; SWITCHID: 0");

QString resource(const QString &address)
{
    return SimBench::resourceName(address);
}

// Makes the resource search list exactly these addresses, in this order.
void publishOnly(const QStringList &addresses)
{
    QStringList names;
    for (const QString &address : addresses)
        names << resource(address);
    qputenv("VDVISA_RESOURCES", names.join(QLatin1Char(';')).toLatin1());
    qputenv("VDVISA_BROADCAST", "0");
}

QStringList sixteenModules()
{
    QStringList addresses;
    for (int i = 0; i < 16; ++i)
        addresses << QStringLiteral("127.0.0.%1").arg(40 + i);
    return addresses;
}

// VXI-11 links that the client side still holds open: connections to a listening
// instrument endpoint other than the portmapper, established or closed only by the
// instrument. A closed session leaves none (its socket is gone or in TIME_WAIT).
int openClientLinks()
{
    QFile file(QStringLiteral("/proc/net/tcp"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QSet<QByteArray> listening;
    QVector<QPair<QByteArray, QByteArray>> held; // remote endpoint, state
    file.readLine();
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        if (fields.size() < 4)
            continue;
        if (fields[3] == "0A")
            listening.insert(fields[1]);
        else if (fields[3] == "01" || fields[3] == "08")
            held.append({fields[2], fields[3]});
    }
    int links = 0;
    for (const auto &connection : held)
        links += listening.contains(connection.first) && !connection.first.endsWith(":006F");
    return links;
}

struct Window
{
    Widget widget;
    QTableWidget *table;
    QPushButton *refresh;
    QPushButton *connect;

    Window()
        : table(widget.findChild<QTableWidget *>(QStringLiteral("devicesTable"))),
          refresh(widget.findChild<QPushButton *>(QStringLiteral("refreshInstrumentsListButton"))),
          connect(widget.findChild<QPushButton *>(QStringLiteral("connectButton")))
    {
        widget.show();
    }

    // Each row as "address | idn | info", top to bottom.
    QStringList rows() const
    {
        QStringList result;
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << (table->item(r, c) ? table->item(r, c)->text() : QStringLiteral("-"));
            result << cells.join(QStringLiteral(" | "));
        }
        return result;
    }

    // Presses "Обновить" and waits until the search has come back.
    bool pressRefresh() { return refreshAndWait(widget); }
};

QString row(const QString &address, const QString &idn, const QString &info)
{
    return resource(address) + " | " + idn + " | " + info;
}

// Presses the busy dialog's cancel button as soon as the dialog is up, after letting
// inspect look at it.
// Presses the busy dialog's cancel once it shows and ready() holds.
void cancelWhenShown(
    QWidget *window, QTimer &poll, std::function<void(QProgressDialog *)> inspect,
    std::function<bool()> ready = [] { return true; })
{
    QObject::connect(&poll, &QTimer::timeout, [window, &poll, inspect, ready]() {
        for (QProgressDialog *dialog : window->findChildren<QProgressDialog *>()) {
            if (dialog->isVisible() && ready()) {
                poll.stop();
                inspect(dialog);
                QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
            }
        }
    });
    poll.start(5);
}
} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private:
    SimLan lan;
    ScriptedModel *shortPlacement = nullptr;
    ScriptedModel *longPlacement = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY(lan.addRvka5630("127.0.0.2"));
        QVERIFY(lan.addRvka5630("127.0.0.3", "Korvalis,PSM2410,0007,2.0"));
        QVERIFY(lan.addRvka5630("127.0.0.4", "Korvalis RVKA5630,0042,1.3"));
        QVERIFY(lan.addScripted("127.0.0.5", &shortPlacement, "Korvalis,RVKA5630,0051,1.3"));
        shortPlacement->setReply(placeQuery, "1;7");
        QVERIFY(lan.addScripted("127.0.0.6", &longPlacement, "Korvalis,RVKA5630,0052,1.3"));
        longPlacement->setReply(placeQuery, "1;7;0;9");
        QVERIFY(lan.addRvka5630("127.0.0.7", "Korvalis,RVKA5630,B"));
        QVERIFY(lan.addRvka5630("127.0.0.8", "Korvalis,RVKA5630,A"));
        QVERIFY(lan.addRvka5630("127.0.0.9"));
        QVERIFY(lan.addRvka5630("127.0.0.10", rvka.toLatin1(), "2;3;1"));
        QVERIFY(lan.addRvka5630("127.0.0.20")); // never answers, see init()
        for (const QString &address : sixteenModules())
            QVERIFY(lan.addRvka5630(address, "Korvalis,RVKA5630,00" +
                                                 address.section('.', 3).toLatin1() + ",1.3"));
        // 127.0.0.30: listed, but nothing listens there.
    }

    void init()
    {
        const QStringList touched = sixteenModules() << "127.0.0.2"
                                                     << "127.0.0.3"
                                                     << "127.0.0.7"
                                                     << "127.0.0.9"
                                                     << "127.0.0.10"
                                                     << "127.0.0.20";
        for (const QString &address : touched) {
            lan.bench().module(address)->transcript().clear();
            lan.bench().module(address)->clearFaults();
        }
        lan.bench().module("127.0.0.20")->setMute(true);
    }

    void mainWindowAtStart()
    {
        publishOnly({"127.0.0.2"});
        ViSession resourceManager = VI_NULL;
        {
            Window w;
            QCOMPARE(w.widget.windowTitle(),
                     QStringLiteral("Панель управления модулями питания RVKA5630 v1.01"));
            QCOMPARE(w.widget.findChild<QLabel *>("headerLabel")->text(),
                     QStringLiteral("Korvalis"));
            QVERIFY(!w.widget.findChild<QLabel *>("label")->pixmap(Qt::ReturnByValue).isNull());
            QVERIFY(!w.connect->isEnabled());
            QCOMPARE(w.table->rowCount(), 0);
            resourceManager = w.widget.resourceManager();
            QVERIFY(resourceManager != VI_NULL);
            // No discovery until the operator asks for it.
            QTest::qWait(200);
            QCOMPARE(lan.bench().module("127.0.0.2")->transcript().messages().size(), 0);
            QTest::ignoreMessage(QtDebugMsg, "~Widget");
        }
        // The window closed its resource manager: the handle no longer names an object.
        ViUInt32 unused = 0;
        QCOMPARE(viGetAttribute(resourceManager, VI_ATTR_TMO_VALUE, &unused), VI_ERROR_INV_OBJECT);
    }

    // Only modules whose first identification token names the model are listed, with the
    // placement reply filled into the template; the queries carry no line feed.
    void listsOnlyRvka5630Modules()
    {
        publishOnly(
            {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5", "127.0.0.6", "127.0.0.30"});
        Window w;
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.rows(),
                 QStringList({row("127.0.0.2", rvka, fullPlace),
                              row("127.0.0.5", "Korvalis,RVKA5630,0051,1.3",
                                  "PLACEID: 1; ADDRID: 7; SWITCHID: %s"),
                              row("127.0.0.6", "Korvalis,RVKA5630,0052,1.3", fullPlace)}));
        QCOMPARE(lan.bench().module("127.0.0.2")->transcript().messages(),
                 QVector<QByteArray>({"*IDN?", placeQuery}));
        QCOMPARE(lan.bench().module("127.0.0.3")->transcript().messages(),
                 QVector<QByteArray>({"*IDN?"}));
        QCOMPARE(w.table->horizontalHeaderItem(2)->text(),
                 QStringLiteral("Дополнительная информация"));

        // A search that finds nothing empties the table.
        publishOnly({});
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.table->rowCount(), 0);
    }

    // Beside the table, with no box to dismiss: a refresh that finds nothing says how modules
    // are found, and one that leaves found resources out says how many and why, each one in
    // the line's tooltip.
    void leftOutResourcesExplained()
    {
        Window w;
        auto *note = w.widget.findChild<QLabel *>(QStringLiteral("discoveryNote"));
        QVERIFY(note);
        QVERIFY(!note->isVisible());

        publishOnly({});
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.table->rowCount(), 0);
        QVERIFY(note->isVisible());
        for (const char *hint :
             {"VDVISA_RESOURCES", "~/.config/vdvisa/resources", "VXI-11", "VDVISA_BROADCAST"})
            QVERIFY2(note->text().contains(QLatin1String(hint)), qPrintable(note->text()));

        // Another model, a module that never answers, an address where nothing listens.
        publishOnly({"127.0.0.2", "127.0.0.3", "127.0.0.20", "127.0.0.30", "127.0.0.8"});
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.table->rowCount(), 2);
        QVERIFY(note->isVisible());
        QVERIFY2(!note->text().contains(QLatin1String("VDVISA_RESOURCES")),
                 qPrintable(note->text()));
        QVERIFY2(note->text().contains(QStringLiteral("3 из 5 (не ответили: 2, другой модели: 1)")),
                 qPrintable(note->text()));
        QCOMPARE(note->toolTip().split(QLatin1Char('\n')),
                 QStringList({resource("127.0.0.3") + ": другая модель (Korvalis,PSM2410,0007,2.0)",
                              resource("127.0.0.20") + ": нет ответа",
                              resource("127.0.0.30") + ": нет ответа"}));

        publishOnly({"127.0.0.2"});
        QVERIFY(w.pressRefresh());
        QVERIFY(!note->isVisible());
        // Only the busy dialog came and went; nothing waits to be acknowledged.
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible() || window == &w.widget,
                     window->metaObject()->className());
    }

    // Rows are ordered by identification; equal identifications keep discovery order, also
    // when the instrument found first is the last to answer.
    void sortedByIdentity()
    {
        lan.bench().module("127.0.0.10")->setReplyDelayMs(300);
        publishOnly({"127.0.0.7", "127.0.0.10", "127.0.0.8", "127.0.0.2"});
        Window w;
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.rows(),
                 QStringList({row("127.0.0.10", rvka, "PLACEID: 2; ADDRID: 3; SWITCHID: 1"),
                              row("127.0.0.2", rvka, fullPlace),
                              row("127.0.0.8", "Korvalis,RVKA5630,A", fullPlace),
                              row("127.0.0.7", "Korvalis,RVKA5630,B", fullPlace)}));
    }

    // Every probe session is closed again, whether the instrument answered, was another
    // model, lost its link during the placement query or never answered at all.
    void probeSessionsClosedWhateverHappened()
    {
        lan.bench().module("127.0.0.9")->failNth("CONF:PLACEID", 1, SimModule::Fault::BreakLink);
        publishOnly(
            {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.9", "127.0.0.20", "127.0.0.30"});
        Window w;
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.rows(), QStringList({row("127.0.0.2", rvka, fullPlace)}));
        QCOMPARE(lan.bench().module("127.0.0.9")->transcript().count("CONF:PLACEID"), 1);
        QCOMPARE(lan.bench().module("127.0.0.20")->transcript().count("*IDN?"), 1);
        QCOMPARE(openClientLinks(), 0);
    }

    // Cancel returns at once and keeps the old table; the abandoned task questions nothing
    // after the closed list and ends only once its probes have closed their sessions, and a
    // refresh started while it still runs has a list of its own.
    void cancelKeepsTableAndLaterRefreshWorks()
    {
        publishOnly({"127.0.0.2"});
        Window w;
        QVERIFY(w.pressRefresh());
        const QStringList first = w.rows();
        QCOMPARE(first.size(), 1);

        // Silent instruments fill every probe slot; the one found after them waits for a slot.
        for (const QString &address : sixteenModules())
            lan.bench().module(address)->setMute(true);
        publishOnly(sixteenModules() << "127.0.0.7");
        QString title, label, cancelText;
        Qt::WindowModality modality = Qt::NonModal;
        int minimum = -1, maximum = -1;
        QWidget *parent = nullptr;
        QTimer poll;
        bool cancelled = false;
        QElapsedTimer sinceCancel;
        // Cancelled once every slot holds a silent instrument: a cancel that came before the
        // task's first search would leave nothing abandoned to observe.
        const auto allQuestioned = [this] {
            for (const QString &address : sixteenModules())
                if (lan.bench().module(address)->transcript().count("*IDN?") == 0)
                    return false;
            return true;
        };
        cancelWhenShown(
            &w.widget, poll,
            [&](QProgressDialog *dialog) {
                cancelled = true;
                sinceCancel.start();
                title = dialog->windowTitle();
                label = dialog->labelText();
                cancelText = dialog->findChild<QPushButton *>()->text();
                modality = dialog->windowModality();
                minimum = dialog->minimum();
                maximum = dialog->maximum();
                parent = dialog->parentWidget();
            },
            allQuestioned);
        QVERIFY(w.pressRefresh());
        QVERIFY(cancelled);
        QVERIFY2(sinceCancel.elapsed() < 1000, "cancel waited for the silent instruments");
        QCOMPARE(title, QStringLiteral(" "));
        QCOMPARE(label, QStringLiteral("Поиск инструментов..."));
        QCOMPARE(cancelText, QStringLiteral("Отмена"));
        QCOMPARE(modality, Qt::WindowModal);
        QCOMPARE(minimum, 0);
        QCOMPARE(maximum, 0);
        QCOMPARE(parent, &w.widget);
        QCOMPARE(w.rows(), first);

        // The abandoned task is still waiting for the silent instruments.
        QVERIFY(QThreadPool::globalInstance()->activeThreadCount() > 0);
        publishOnly({"127.0.0.8", "127.0.0.5"});
        QVERIFY(w.pressRefresh());
        const QStringList second = {
            row("127.0.0.5", "Korvalis,RVKA5630,0051,1.3", "PLACEID: 1; ADDRID: 7; SWITCHID: %s"),
            row("127.0.0.8", "Korvalis,RVKA5630,A", fullPlace)};
        QCOMPARE(w.rows(), second);

        QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
        QCOMPARE(openClientLinks(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(w.rows(), second);
        // The list closed by the cancel ended the enumeration before a slot came free.
        QCOMPARE(lan.bench().module("127.0.0.7")->transcript().count("*IDN?"), 0);
        // The dialogs of the finished and the cancelled refreshes are gone, not just hidden.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(w.widget.findChildren<QProgressDialog *>().size(), 0);
    }

    // Instruments that accept a link and never answer are waited for side by side: however
    // many there are, together they cost about one I/O time-out (2 s), not one each.
    void silentInstrumentsCostOneTimeoutInAll()
    {
        QStringList expected;
        for (const QString &address : sixteenModules()) {
            const int last = address.section('.', 3).toInt();
            if (last % 2 == 0)
                lan.bench().module(address)->setMute(true);
            else
                expected << row(address, QStringLiteral("Korvalis,RVKA5630,00%1,1.3").arg(last),
                                fullPlace);
        }
        publishOnly(sixteenModules());
        Window w;
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.rows(), expected);
        QVERIFY2(elapsed.elapsed() < 3500, qPrintable(QString::number(elapsed.elapsed())));
    }

    void clickEnablesConnect()
    {
        publishOnly({"127.0.0.2", "127.0.0.8"});
        Window w;
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.table->rowCount(), 2);
        QVERIFY(!w.connect->isEnabled());
        const QRect cell = w.table->visualItemRect(w.table->item(1, 2));
        QTest::mouseClick(w.table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QVERIFY(w.connect->isEnabled());
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.table->rowCount(), 2);
        QVERIFY(w.connect->isEnabled());
    }

    // The GUI thread keeps running its event loop while the worker questions 16 modules and
    // one that never answers.
    void guiNeverBlocksDuringDiscovery()
    {
        publishOnly(sixteenModules() << "127.0.0.20");
        Window w;
        QSignalSpy listed(&w.widget, &Widget::instrumentsListed);
        EventLoopGaps gaps(1);
        QElapsedTimer click;
        click.start();
        QTest::mouseClick(w.refresh, Qt::LeftButton);
        // The click only starts the search; the silent module alone keeps it going for 2 s.
        QVERIFY2(click.elapsed() < 250, qPrintable(QString::number(click.elapsed())));
        QVERIFY(w.widget.searching());
        QCOMPARE(w.table->rowCount(), 0);
        // Another press while it runs starts no second search beside it.
        w.refresh->click();
        QCOMPARE(w.widget.findChildren<QProgressDialog *>().size(), 1);
        QVERIFY(waitForSearch(w.widget));
        gaps.stop();
        QCOMPARE(listed.count(), 1);
        QCOMPARE(w.table->rowCount(), 16);
        QCOMPARE(lan.bench().module("127.0.0.20")->transcript().count("*IDN?"), 1);
        qInfo("longest gap between event-loop iterations: %lld ms", gaps.longestMs());
        QVERIFY2(gaps.longestMs() < 250, qPrintable(QString::number(gaps.longestMs())));
    }

    // The window as the operator sees it after a refresh, kept as a picture under the build
    // tree.
    void rendersDiscoveredModules()
    {
        publishOnly({"127.0.0.2", "127.0.0.5", "127.0.0.6", "127.0.0.7", "127.0.0.8"});
        Window w;
        QVERIFY(w.pressRefresh());
        QCOMPARE(w.table->rowCount(), 5);
        QTest::qWait(50);
        const QImage image = w.widget.grab().toImage();
        QVERIFY(QDir().mkpath(VOLTADESK_BINARY_DIR "screenshots"));
        QVERIFY(image.save(VOLTADESK_BINARY_DIR "screenshots/main-window.png"));
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
    }
};

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
