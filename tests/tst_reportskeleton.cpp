// The report skeleton: the exact bytes of a report, escaping of instrument text, and atomic
// saving.
#include "reportskeleton.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

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
};

QTEST_GUILESS_MAIN(TestReportSkeleton)
#include "tst_reportskeleton.moc"
