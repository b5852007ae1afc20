// ctest-timeout: 240
// ctest-labels: package;nosanitize
// The Debian package as a lab machine gets it: unpacked into a private root (never installed
// into the system), its desktop entry and metainfo pass their validators, and the program
// started the way the desktop entry starts it, under an X server of its own, shows its main
// window, finds a simulated module on the refresh button, and speaks the desktop's language.
#include "simlan.h"

#include <QDir>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {
const QString desktopEntry =
    QStringLiteral("usr/share/applications/org.voltadesk.voltadesk.desktop");
const QString metainfo = QStringLiteral("usr/share/metainfo/org.voltadesk.voltadesk.metainfo.xml");
const QByteArray placeQuery = "CONF:PLACEID?;ADDRID?;SWITCHID?";

// Runs a tool to its end; its output on failure.
QString run(const QString &program, const QStringList &arguments, bool *ok,
            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    *ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
    return QString::fromUtf8(process.readAll());
}

// An X server of the test's own; it picks a free display itself.
class PrivateXServer
{
public:
    bool start()
    {
        server.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1280x1024x24")});
        while (server.waitForReadyRead(10000)) {
            if (server.canReadLine()) {
                environment.insert(QStringLiteral("DISPLAY"),
                                   QLatin1Char(':') +
                                       QString::fromLatin1(server.readLine().trimmed()));
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
    // Runs xdotool against this server.
    QString xdotool(const QStringList &arguments, bool *ok) const
    {
        return run(QStringLiteral("xdotool"), arguments, ok, environment);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

private:
    QProcess server;
};

// The unpacked program, started on the X server the way the desktop menu starts it (the
// desktop entry's command, with the package's bin directory standing for the system's), as a
// fresh user: no VISA installation, no Qt directory of the maker, no platform forced.
class DesktopStart
{
public:
    DesktopStart(const QString &root, const PrivateXServer &x, const QStringList &settings)
    {
        QSettings entry(root + QLatin1Char('/') + desktopEntry, QSettings::IniFormat);
        command = entry.value(QStringLiteral("Desktop Entry/Exec")).toString();
        QProcessEnvironment environment = x.environment;
        for (const char *name :
             {"VXIPNPPATH", "QT_QPA_PLATFORM", "LD_LIBRARY_PATH", "QT_PLUGIN_PATH", "LANG",
              "LANGUAGE", "LC_ALL", "LC_MESSAGES", "VOLTADESK_LANG"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral(".config")));
        for (const QString &setting : settings)
            environment.insert(setting.section(QLatin1Char('='), 0, 0),
                               setting.section(QLatin1Char('='), 1));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        // A plain command: the test runs it without a shell.
        if (!command.isEmpty() && !command.contains(QLatin1Char(' ')))
            program.start(root + QStringLiteral("/usr/bin/") + command, QStringList());
    }
    ~DesktopStart() { ended(); }

    // The main window's id once it is on the screen, empty if it never comes.
    QString mainWindow(const PrivateXServer &x)
    {
        bool ok = false;
        const QString found = x.xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                         QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                         QStringLiteral(" v1\\.01$")},
                                        &ok);
        return ok ? found.section(QLatin1Char('\n'), 0, 0) : QString();
    }
    // Ends the program; everything it printed.
    QString ended()
    {
        if (program.state() != QProcess::NotRunning) {
            program.terminate();
            if (!program.waitForFinished(10000)) {
                program.kill();
                program.waitForFinished(5000);
            }
        }
        return printed += QString::fromLocal8Bit(program.readAll());
    }

    QString command;

private:
    QTemporaryDir home;
    QProcess program;
    QString printed;
};
} // namespace

class TestInstalledPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFilesValidate_data();
    void installedFilesValidate();
    void commandsAndManualPages();
    void startsFromDesktopEntryAndFindsModule();
    void languageFromDesktop_data();
    void languageFromDesktop();

private:
    QTemporaryDir root;
};

void TestInstalledPackage::initTestCase()
{
    QVERIFY(root.isValid());
    // The newest: a package of an earlier version may still lie beside it.
    const QStringList packages =
        QDir(QStringLiteral(VOLTADESK_PACKAGE_DIR))
            .entryList({QStringLiteral("voltadesk_*.deb")}, QDir::Files, QDir::Time);
    QVERIFY(!packages.isEmpty());
    bool ok = false;
    const QString output =
        run(QStringLiteral("dpkg-deb"),
            {QStringLiteral("-x"), QStringLiteral(VOLTADESK_PACKAGE_DIR) + packages.first(),
             root.path()},
            &ok);
    QVERIFY2(ok, qPrintable(output));
    // The package's plug-in links are relative and point at the system's Qt beside them, which
    // a real installation has: the private root gets the system's.
    const QString qtDir = QFileInfo(QLibraryInfo::location(QLibraryInfo::PluginsPath)).path();
    QVERIFY(QDir().mkpath(root.path() + QFileInfo(qtDir).path()));
    QVERIFY(QFile::link(qtDir, root.path() + qtDir));
}

// What a user finds: one command per program in the system's command folder, and a manual page
// for each; the real executables and their libraries lie in the package's own folder.
void TestInstalledPackage::commandsAndManualPages()
{
    QDir bin(root.filePath(QStringLiteral("usr/bin")));
    const QStringList commands = bin.entryList(QDir::Files | QDir::System, QDir::Name);
    QCOMPARE(commands, (QStringList{"vdvisa-query", "voltadesk", "voltadesk-run"}));
    for (const QString &command : commands) {
        QVERIFY2(QFile::exists(root.filePath("usr/share/man/man1/" + command + ".1.gz")),
                 qPrintable(command));
        const QFileInfo entry(bin.filePath(command));
        if (entry.isSymLink()) {
            char target[4096];
            const ssize_t size =
                ::readlink(QFile::encodeName(entry.filePath()).constData(), target, sizeof target);
            QVERIFY2(size > 0 && target[0] != '/', qPrintable(command));
            QVERIFY2(QFileInfo(entry.canonicalFilePath()).isExecutable(), qPrintable(command));
        }
    }
    bool ok = false;
    const QString help =
        run(bin.filePath(QStringLiteral("voltadesk")), {QStringLiteral("--help")}, &ok);
    QVERIFY2(ok && help.contains(QStringLiteral("--version")), qPrintable(help));
}

void TestInstalledPackage::installedFilesValidate_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("file");
    QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList() << desktopEntry;
    // --no-net: the test talks to nothing beyond loopback.
    QTest::newRow("metainfo") << "appstreamcli"
                              << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
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
    PrivateXServer x;
    QVERIFY(x.start());
    DesktopStart program(root.path(), x, {});
    QVERIFY2(!program.command.isEmpty() && !program.command.contains(QLatin1Char(' ')),
             qPrintable(program.command));
    const QString window = program.mainWindow(x);
    if (window.isEmpty())
        QFAIL(
            qPrintable(QStringLiteral("no main window; the program printed:\n") + program.ended()));

    // Focus starts in the empty instrument list; Tab passes the disabled connect button to
    // the refresh button, and the space bar presses it.
    bool ok = false;
    const QString keys =
        x.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window,
                   QStringLiteral("sleep"), QStringLiteral("0.5"), QStringLiteral("key"),
                   QStringLiteral("Tab"), QStringLiteral("space")},
                  &ok);
    QVERIFY2(ok, qPrintable(keys));

    // Only a module whose identity matches is asked where it sits.
    const bool found = module->transcript().waitFor(
        [](const QByteArray &message) { return message.startsWith(placeQuery); }, 30000);
    if (!found)
        QFAIL(qPrintable(QStringLiteral("the module was not asked where it sits; the program "
                                        "printed:\n") +
                         program.ended()));
    QVERIFY(module->transcript().count("*IDN?") > 0);
}

void TestInstalledPackage::languageFromDesktop_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("title");
    const QString russian = QStringLiteral("Панель управления модулями питания RVKA5630 v1.01");
    const QString english = QStringLiteral("RVKA5630 power module control panel v1.01");
    QTest::newRow("C locale") << QStringList{"LANG=C"} << russian;
    QTest::newRow("Russian desktop") << QStringList{"LANG=ru_RU.UTF-8"} << russian;
    QTest::newRow("American desktop") << QStringList{"LANG=en_US.UTF-8"} << english;
    QTest::newRow("English first choice")
        << QStringList{"LANG=ru_RU.UTF-8", "LANGUAGE=en_GB:ru"} << english;
    QTest::newRow("ru over English")
        << QStringList{"LANG=en_US.UTF-8", "VOLTADESK_LANG=ru"} << russian;
    QTest::newRow("en over C") << QStringList{"LANG=C", "VOLTADESK_LANG=en"} << english;
}

void TestInstalledPackage::languageFromDesktop()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, title);
    PrivateXServer x;
    QVERIFY(x.start());
    DesktopStart program(root.path(), x, settings);
    const QString window = program.mainWindow(x);
    QVERIFY(!window.isEmpty());
    bool ok = false;
    const QString name = x.xdotool({QStringLiteral("getwindowname"), window}, &ok);
    QVERIFY(ok);
    QCOMPARE(name.trimmed(), title);
}

QTEST_GUILESS_MAIN(TestInstalledPackage)
#include "tst_installedpackage.moc"
