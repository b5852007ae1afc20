// The report skeleton: the exact bytes of a report (on a workstation whose language has
// digits of its own), escaping of instrument text, atomic saving and saving where only the
// file may be written.
#include "reportskeleton.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// The test runs as root of its own user namespace, which writes into any directory; without
// this capability the directory's mode applies, as it does to an operator.
class WithoutDacOverride
{
public:
    WithoutDacOverride()
    {
        syscall(SYS_capget, &header, saved);
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        syscall(SYS_capset, &header, reduced);
    }
    ~WithoutDacOverride() { syscall(SYS_capset, &header, saved); }

private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2] = {};
};
} // namespace

class TestReportSkeleton : public QObject
{
    Q_OBJECT

private slots:
    void wholeReportByteForByte()
    {
        ReportSkeleton report("<thead>T <b>Korvalis,RVKA5630</b></thead>",
                              {"<td>#</td>", "<td>A<br>(B)</td>"});
        report.addRow({"1", "3±4"});
        const QByteArray expected =
            "\xEF\xBB\xBF"
            "<style>TABLE{border-collapse: collapse;}TD, TH{padding: 3px; padding-top: 5px; "
            "padding-bottom: 5px; border: 1px solid black;}</style><table>"
            "<thead>T <b>Korvalis,RVKA5630</b></thead><tr><td>#</td><td>A<br>(B)</td></tr>"
            "<tr><td>1</td><td>3\xC2\xB1"
            "4</td></tr></table><br><br><div align=\"right\">06.12.2026\t\t</div><br><br>"
            "<div align=\"center\">\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB2\xD0\xB5\xD1\x80\xD0\xB8"
            "\xD0\xBB:<br></div><hr align=\"right\" width=\"350\"/>";
        QCOMPARE(report.bytes(QDate(2026, 12, 6)), expected);
    }

    void instrumentTextIsEscaped()
    {
        ReportSkeleton report("<thead></thead>", {});
        report.addRow({"<script>alert(1)</script>", "a&b", "0.5"});
        const QByteArray bytes = report.bytes(QDate(2026, 1, 2));
        QVERIFY(bytes.contains("<td>&lt;script&gt;alert(1)&lt;/script&gt;</td><td>a&amp;b</td>"
                               "<td>0.5</td>"));
        QVERIFY(!bytes.contains("<script>"));
        QCOMPARE(ReportSkeleton::escaped("Korvalis,RVKA5630,0042,1.3"),
                 QString("Korvalis,RVKA5630,0042,1.3"));
        QVERIFY(bytes.contains("02.01.2026\t\t"));
    }

    void saveIsAtomic()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("report.html");
        ReportSkeleton first("<thead>first</thead>", {});
        QVERIFY(first.save(path, QDate(2026, 12, 6)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), first.bytes(QDate(2026, 12, 6)));
        file.close();

        // A write that fails part-way (the file size limit stops it after 64 bytes): the
        // earlier report stays whole.
        rlimit previous{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = previous;
        small.rlim_cur = 64;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        ReportSkeleton second("<thead>second</thead>", {});
        const bool saved = second.save(path, QDate(2026, 12, 6));
        setrlimit(RLIMIT_FSIZE, &previous);
        QVERIFY(!saved);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"report.html"});
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), first.bytes(QDate(2026, 12, 6)));
        QVERIFY(!second.save(dir.filePath("missing/report.html"), QDate(2026, 12, 6)));
    }

    // An existing report the operator may write, in a directory where they may not create
    // files: it is replaced in place.
    void saveWhereOnlyTheFileIsWritable()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("report.html");
        QVERIFY(ReportSkeleton("<thead>first</thead>", {}).save(path, QDate(2026, 12, 6)));
        const QFile::Permissions writable = QFile::permissions(dir.path());
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const ReportSkeleton second("<thead>second</thead>", {});
        bool directoryRefuses = false, saved = false;
        {
            WithoutDacOverride operatorRights;
            directoryRefuses = !QFile(dir.filePath("new.html")).open(QIODevice::WriteOnly);
            saved = second.save(path, QDate(2026, 12, 7));
        }
        QVERIFY(QFile::setPermissions(dir.path(), writable));
        QVERIFY(directoryRefuses);
        QVERIFY(saved);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), second.bytes(QDate(2026, 12, 7)));
    }
};

// Every case runs under a Persian system locale, whose own digits must not reach a report.
int main(int argc, char *argv[])
{
    qputenv("LC_ALL", "fa_IR.UTF-8");
    QCoreApplication app(argc, argv);
    TestReportSkeleton test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_reportskeleton.moc"
