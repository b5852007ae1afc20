// ctest-timeout: 120
// Start-up: where the program looks for Qt's plug-ins, and what happens when the VISA
// resource manager cannot be created (a critical box, then the process ends with -1).
#include "diagnostics.h"
#include "dialoganswerer.h"
#include "librarypaths.h"
#include "programexit.h"
#include "widget.h"

#include <vdvisa_testing.h>

#include <QLoggingCategory>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {
// Where the executable lies; the list ends with it and its plug-in folders.
const QString exeDir = QStringLiteral("/opt/voltadesk/lib");
const QStringList bareTail = {exeDir, exeDir + "/imageformats", exeDir + "/platforms",
                              exeDir + "/iconengines"};

QStringList expectedList(const QString &dir)
{
    return QStringList{dir, dir + "imageformats", dir + "platforms", dir + "iconengines"} +
           bareTail;
}

// A blocking connection to a loopback TCP port.
class LoopbackStream
{
public:
    explicit LoopbackStream(quint16 port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        timeval limit{3, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~LoopbackStream()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool isOpen() const { return fd >= 0; }
    QByteArray read(int size)
    {
        QByteArray data(size, '\0');
        int got = 0;
        while (got < size) {
            const ssize_t n = ::recv(fd, data.data() + got, size_t(size - got), 0);
            if (n <= 0)
                break;
            got += int(n);
        }
        return data.left(got);
    }
    void write(const QByteArray &data)
    {
        ::send(fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL);
    }

private:
    int fd = -1;
};

// Presses Return in a program that runs on Qt's VNC platform, as an operator at its screen
// would, until the program has ended: a modal box of a separate process can be answered no
// other way. The server speaks protocol 3.3 with no authentication.
bool pressReturnUntilExit(QProcess &program, quint16 port)
{
    QElapsedTimer elapsed;
    elapsed.start();
    std::unique_ptr<LoopbackStream> vnc;
    for (;;) {
        if (program.state() == QProcess::NotRunning || elapsed.elapsed() > 10000)
            return false;
        vnc = std::make_unique<LoopbackStream>(port);
        if (vnc->isOpen())
            break;
        program.waitForFinished(100);
    }
    if (!vnc->read(12).startsWith("RFB 003."))
        return false;
    vnc->write("RFB 003.003\n");
    if (vnc->read(4) != QByteArray("\0\0\0\1", 4)) // security: none
        return false;
    vnc->write("\1"); // shared
    const QByteArray serverInit = vnc->read(24);
    if (serverInit.size() < 24)
        return false;
    vnc->read(int(qFromBigEndian<quint32>(serverInit.constData() + 20))); // desktop name
    const quint32 returnKey = 0xff0d;
    while (program.state() != QProcess::NotRunning && elapsed.elapsed() < 20000) {
        for (char down : {1, 0}) {
            QByteArray event(8, '\0');
            event[0] = 4; // key event
            event[1] = down;
            qToBigEndian(returnKey, event.data() + 4);
            vnc->write(event);
        }
        program.waitForFinished(300);
    }
    return program.state() == QProcess::NotRunning;
}
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void searchList_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("expected");

        const QStringList withVxipnp = {"PATH=/usr/bin", "VXIPNPPATH=E:\\VXIPNP\\"};
        QTest::newRow("configured directory wins over the environment")
            << "D:/QtShared/" << withVxipnp << expectedList("D:/QtShared/");
        QTest::newRow("configured directory without trailing separator kept as is")
            << "D:/QtShared" << withVxipnp
            << (QStringList{"D:/QtShared", "D:/QtSharedimageformats", "D:/QtSharedplatforms",
                            "D:/QtSharediconengines"} +
                bareTail);
        QTest::newRow("environment with mixed separators")
            << QString() << QStringList{"HOME=/home/op", "VXIPNPPATH=D:\\VXIPNP\\"}
            << expectedList("D:\\VXIPNP\\winnt/bin/");
        QTest::newRow("equals sign inside the value cuts it")
            << QString() << QStringList{"VXIPNPPATH=D:\\a=b\\"} << expectedList("D:\\awinnt/bin/");
        QTest::newRow("only the variable itself counts, not a longer name or a value")
            << QString()
            << QStringList{"OLD_VXIPNPPATH=C:\\old\\", "NOTE=VXIPNPPATH=C:\\note\\",
                           "VXIPNPPATH=D:\\VXIPNP\\"}
            << expectedList("D:\\VXIPNP\\winnt/bin/");
        QTest::newRow("name is matched case-sensitively")
            << QString() << QStringList{"vxipnppath=D:\\VXIPNP\\"} << bareTail;
        QTest::newRow("nothing configured, no variable: only the executable's folders")
            << QString() << QStringList{"PATH=/usr/bin"} << bareTail;
        QTest::newRow("empty value still gets the driver directory")
            << QString() << QStringList{"VXIPNPPATH="} << expectedList("winnt/bin/");
    }

    void searchList()
    {
        QFETCH(QString, configured);
        QFETCH(QStringList, environment);
        QFETCH(QStringList, expected);
        QCOMPARE(LibraryPaths::searchList(configured, environment, exeDir), expected);
    }

    // A folder of the working directory is never searched: a program started inside a
    // downloaded folder would otherwise load the plug-ins placed there.
    void workingDirectoryNeverSearched()
    {
        QTemporaryDir cwd;
        QVERIFY(cwd.isValid());
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd.path()));
        const QByteArray oldVxipnp = qgetenv("VXIPNPPATH");
        qunsetenv("VXIPNPPATH");
        QTemporaryDir store;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
        const QStringList paths = QCoreApplication::libraryPaths();

        LibraryPaths::apply();
        const QStringList applied = QCoreApplication::libraryPaths();
        const bool sqliteAvailable = QSqlDatabase::isDriverAvailable("QSQLITE");
        QCoreApplication::setLibraryPaths(paths);
        qputenv("VXIPNPPATH", oldVxipnp);
        QDir::setCurrent(before);

        const QString ownDir = QFileInfo(QCoreApplication::applicationFilePath()).path();
        QCOMPARE(LibraryPaths::executableDir(), ownDir);
        // The executable's folders, then the system's own plug-ins (the database drivers of
        // the results store among them).
        QCOMPARE(applied.mid(4), LibraryPaths::systemPluginDirs());
        QVERIFY2(sqliteAvailable, "the SQLite driver did not load");
        for (const QString &path : applied.mid(0, 4)) {
            QVERIFY2(QDir::isAbsolutePath(path), qPrintable(path));
            QVERIFY2(path.startsWith(ownDir), qPrintable(path));
            QVERIFY2(!path.startsWith(cwd.path()), qPrintable(path));
        }
    }

    // The configured directory comes from the maker's per-user settings and, applied, replaces
    // the application's library paths as a whole.
    void configuredDirectoryApplied()
    {
        QTemporaryDir store;
        QVERIFY(store.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
        const QStringList before = QCoreApplication::libraryPaths();
        QCOMPARE(LibraryPaths::configuredDir(), QString());

        const QByteArray oldVxipnp = qgetenv("VXIPNPPATH");
        qputenv("VXIPNPPATH", "/opt/vxipnp/");
        LibraryPaths::apply();
        QCOMPARE(QCoreApplication::libraryPaths().mid(0, 4),
                 expectedList("/opt/vxipnp/winnt/bin/").mid(0, 4));

        {
            QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Korvalis",
                               "VaDeraver");
            settings.setValue("QT_DISTRIB_INSTALL_DIR", "/opt/qtshared/");
        }
        QCOMPARE(LibraryPaths::configuredDir(), QStringLiteral("/opt/qtshared/"));
        LibraryPaths::apply();
        QCOMPARE(QCoreApplication::libraryPaths().mid(0, 4),
                 expectedList("/opt/qtshared/").mid(0, 4));

        qputenv("VXIPNPPATH", oldVxipnp);
        QCoreApplication::setLibraryPaths(before);
    }

    // The diagnostics stay off the operator's terminal unless asked for.
    void diagnosticsOnlyWhenAsked()
    {
        const QByteArray before = qgetenv("VOLTADESK_DEBUG");
        qunsetenv("VOLTADESK_DEBUG");
        Diagnostics::apply();
        const bool quiet = !QLoggingCategory::defaultCategory()->isDebugEnabled();
        QLoggingCategory::setFilterRules(QString());
        qputenv("VOLTADESK_DEBUG", "1");
        Diagnostics::apply();
        const bool asked = QLoggingCategory::defaultCategory()->isDebugEnabled();
        QLoggingCategory::setFilterRules(QString());
        qputenv("VOLTADESK_DEBUG", before);
        QVERIFY(quiet);
        QVERIFY(asked);
    }

    void missingResourceManagerShowsCriticalBox()
    {
        QVector<int> exits;
        setProgramExitHandler([&](int status) { exits << status; });
        vdvisaInjectStatus("viOpenDefaultRM", 1, VI_ERROR_SYSTEM_ERROR);
        DialogAnswerer answerer;
        QString parentClass;
        answerer.press("OK").inspect(
            [&](QDialog *box) { parentClass = box->parentWidget()->metaObject()->className(); });
        {
            Widget window;
            QCOMPARE(exits, QVector<int>{-1});
        }
        setProgramExitHandler({});
        vdvisaClearInjections();

        QCOMPARE(answerer.shown().size(), 1);
        const DialogAnswerer::Shown box = answerer.shown().first();
        QCOMPARE(box.title, QStringLiteral("Критическая ошибка"));
        QCOMPARE(box.text, QStringLiteral("Не удалось создать общую структуру VISA!\n"
                                          "Продолжение работы невозможно."));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(parentClass, QStringLiteral("Widget"));
    }

    // The real program: it finds its platform plug-in through the VXIplug&play tree, shows the
    // box and, once the operator has acknowledged it, ends with -1 (255 to the parent).
    void programEndsWithMinusOneWithoutResourceManager()
    {
        const quint16 port = 5917;
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", QStringLiteral("vnc:size=640x480:port=%1").arg(port));
        environment.insert("VDVISA_INJECT", "viOpenDefaultRM:1:-1073807360");
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(VOLTADESK_BINARY_DIR "voltaDesk"), QStringList());
        QVERIFY(program.waitForStarted());
        const bool ended = pressReturnUntilExit(program, port);
        if (!ended) {
            program.kill();
            program.waitForFinished();
        }
        QVERIFY(ended);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 255);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
