// ctest-timeout: 180
// ctest-labels: package;nosanitize
// The Debian package as a lab machine gets it: unpacked into a private root (never installed
// into the system), its desktop entry and metainfo pass their validators, and the program
// started the way the desktop entry starts it, under an X server of its own, shows its main
// window and finds a simulated module on the refresh button.
#include "simlan.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString desktopEntry = QStringLiteral("usr/share/applications/org.voltadesk.voltadesk.desktop");
const QString metainfo = QStringLiteral("usr/share/metainfo/org.voltadesk.voltadesk.metainfo.xml");
const QByteArray placeQuery = "CONF:PLACEID?;ADDRID?;SWITCHID?";

// Runs a tool to its end; its output on failure.
QString run(const QString &program, const QStringList &arguments, bool *ok)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    *ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    return QString::fromLocal8Bit(process.readAll());
}

// Ends the program and returns everything it printed.
QString endedOutput(QProcess &program)
{
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(5000);
    }
    return QString::fromLocal8Bit(program.readAll());
}

// An X server of the test's own; it picks a free display itself.
class PrivateXServer
{
public:
    bool start()
    {
        server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                             QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                             QStringLiteral("-screen"), QStringLiteral("0"),
                                             QStringLiteral("1280x1024x24")});
        while (server.waitForReadyRead(10000)) {
            if (server.canReadLine()) {
                display = QLatin1Char(':') + QString::fromLatin1(server.readLine().trimmed());
                return true;
            }
        }
        return false;
    }
    ~PrivateXServer()
    {
        server.terminate();
        server.waitForFinished(5000);
    }
    QString display;

private:
    QProcess server;
};
} // namespace

class TestInstalledPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFilesValidate_data();
    void installedFilesValidate();
    void startsFromDesktopEntryAndFindsModule();

private:
    QTemporaryDir root;
};

void TestInstalledPackage::initTestCase()
{
    QVERIFY(root.isValid());
    const QStringList packages =
        QDir(QStringLiteral(VOLTADESK_PACKAGE_DIR))
            .entryList({QStringLiteral("voltadesk_*.deb")}, QDir::Files);
    QCOMPARE(packages.size(), 1);
    bool ok = false;
    const QString output = run(QStringLiteral("dpkg-deb"),
                               {QStringLiteral("-x"),
                                QStringLiteral(VOLTADESK_PACKAGE_DIR) + packages.first(),
                                root.path()},
                               &ok);
    QVERIFY2(ok, qPrintable(output));
}

void TestInstalledPackage::installedFilesValidate_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("file");
    QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList() << desktopEntry;
    // --no-net: the test talks to nothing beyond loopback.
    QTest::newRow("metainfo") << "appstreamcli"
                              << QStringList{QStringLiteral("validate"),
                                             QStringLiteral("--no-net"),
                                             QStringLiteral("--pedantic")}
                              << metainfo;
}

void TestInstalledPackage::installedFilesValidate()
{
    QFETCH(QString, validator);
    QFETCH(QStringList, options);
    QFETCH(QString, file);
    bool ok = false;
    const QString output = run(validator, options << root.filePath(file), &ok);
    QVERIFY2(ok, qPrintable(output));
    // Both tools report hints with success; a clean file has none.
    QVERIFY2(!output.contains(QRegularExpression(QStringLiteral("^[EWIP]: |hint"),
                                                 QRegularExpression::MultilineOption)),
             qPrintable(output));
}

void TestInstalledPackage::startsFromDesktopEntryAndFindsModule()
{
    SimLan lan;
    SimModule *module = lan.addRvka5630(QStringLiteral("127.0.0.2"));
    QVERIFY(module);
    lan.publish();

    // The command line the desktop menu runs, with the package's bin directory standing for
    // the system's.
    QSettings entry(root.filePath(desktopEntry), QSettings::IniFormat);
    const QString exec = entry.value(QStringLiteral("Desktop Entry/Exec")).toString();
    QVERIFY2(!exec.isEmpty() && !exec.contains(QLatin1Char(' ')), qPrintable(exec));

    PrivateXServer x;
    QVERIFY(x.start());
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A fresh user: no VISA installation, no Qt directory of the maker, no platform forced.
    for (const char *name : {"VXIPNPPATH", "QT_QPA_PLATFORM", "LD_LIBRARY_PATH", "QT_PLUGIN_PATH"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("DISPLAY"), x.display);
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(root.filePath(QStringLiteral("usr/bin/") + exec), QStringList());
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));

    QProcessEnvironment xEnvironment = QProcessEnvironment::systemEnvironment();
    xEnvironment.insert(QStringLiteral("DISPLAY"), x.display);
    QProcess search;
    search.setProcessEnvironment(xEnvironment);
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--sync"),
                  QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                  QStringLiteral("RVKA5630 v1.01$")});
    const bool shown = search.waitForFinished(30000) && search.exitCode() == 0;
    const QString window = QString::fromLatin1(search.readAll()).section(QLatin1Char('\n'), 0, 0);
    if (!shown || window.isEmpty()) {
        search.kill();
        search.waitForFinished(5000);
        QFAIL(qPrintable(QStringLiteral("no main window; the program printed:\n") +
                         endedOutput(program)));
    }

    // Focus starts in the empty instrument list; Tab passes the disabled connect button to
    // the refresh button, and the space bar presses it.
    QProcess keys;
    keys.setProcessEnvironment(xEnvironment);
    keys.setProcessChannelMode(QProcess::MergedChannels);
    keys.start(QStringLiteral("xdotool"),
               {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window,
                QStringLiteral("sleep"), QStringLiteral("0.5"), QStringLiteral("key"),
                QStringLiteral("Tab"), QStringLiteral("space")});
    QVERIFY2(keys.waitForFinished(15000) && keys.exitCode() == 0, keys.readAll().constData());

    // Only a module whose identity matches is asked where it sits.
    const bool found = module->transcript().waitFor(
        [](const QByteArray &message) { return message.startsWith(placeQuery); }, 30000);
    const QString output = endedOutput(program);
    if (!found)
        QFAIL(qPrintable(QStringLiteral("the module was not asked where it sits; the program "
                                        "printed:\n") + output));
    QVERIFY(module->transcript().count("*IDN?") > 0);
}

QTEST_GUILESS_MAIN(TestInstalledPackage)
#include "tst_installedpackage.moc"
