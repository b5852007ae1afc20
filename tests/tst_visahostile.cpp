// Our VISA library against VXI-11 servers that misbehave on purpose: every operation ends
// within its time-out plus 250 ms whatever the server does, and replies that break the
// protocol are errors, never data.
// ctest-timeout: 240
#include "hostileserver.h"

#include <visa.h>

#include <QElapsedTimer>
#include <QtTest>

#include <cstring>
#include <functional>
#include <map>
#include <vector>

using Behaviour = HostileServer::Behaviour;
Q_DECLARE_METATYPE(HostileServer::Behaviour)

namespace {
constexpr ViUInt32 timeoutMs = 1000;
constexpr ViUInt32 openTimeoutMs = 700;
constexpr qint64 allowedMs = timeoutMs + 250;
const char *const address = "TCPIP0::127.0.0.5::inst0::INSTR";

// One VISA operation on an open session, as a test row names it.
ViStatus runOperation(const QByteArray &operation, ViSession vi)
{
    char reply[256] = {};
    ViUInt32 count = 0;
    // More than any piece-by-piece answer can fill within the time-out.
    static std::vector<char> large(1 << 22);
    if (operation == "viWrite") {
        const QByteArray data(100, 'w');
        return viWrite(vi, reinterpret_cast<ViConstBuf>(data.constData()), ViUInt32(data.size()),
                       &count);
    }
    if (operation == "viPrintf")
        return viPrintf(vi, "%s\n", QByteArray(100, 'p').constData());
    if (operation == "viRead")
        return viRead(vi, reinterpret_cast<ViPBuf>(large.data()), ViUInt32(large.size()), &count);
    if (operation == "viScanf")
        return viScanf(vi, "%255t", reply);
    if (operation == "viQueryf")
        return viQueryf(vi, "*IDN?\n", "%255t", reply);
    return viClear(vi);
}
} // namespace

class TestVisaHostile : public QObject
{
    Q_OBJECT

private:
    ViSession rm = VI_NULL;
    HostileServer server{Behaviour::Silent};
    std::map<QByteArray, qint64> worstMs;

private slots:
    void initTestCase()
    {
        QVERIFY(server.start(QStringLiteral("127.0.0.5")));
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    }

    void cleanupTestCase()
    {
        for (const auto &worst : worstMs)
            qInfo("worst case %s: %lld ms (time-out %u ms)", worst.first.constData(),
                  worst.second, worst.first == "viOpen" ? openTimeoutMs : timeoutMs);
        viClose(rm);
    }

    void operationsEndByTheirDeadline_data()
    {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<bool>("fails");
        const std::pair<const char *, Behaviour> behaviours[] = {
            {"silent", Behaviour::Silent},
            {"wrong xid", Behaviour::WrongXid},
            {"giant record", Behaviour::GiantRecord},
            {"truncated record", Behaviour::TruncatedRecord},
            {"drip feed", Behaviour::DripFeed},
            {"empty fragments", Behaviour::EmptyFragments},
            {"one-byte writes", Behaviour::OneByteWrites},
            {"endless pieces", Behaviour::EndlessPieces},
            {"late pieces", Behaviour::LatePieces},
        };
        for (const auto &b : behaviours) {
            for (const char *operation :
                 {"viWrite", "viPrintf", "viRead", "viScanf", "viQueryf", "viClear"}) {
                // A clear, and a write when writes are acknowledged in full, may succeed;
                // nothing that needs a reply the server never gives right may.
                const QByteArray op(operation);
                const bool pieces = b.second == Behaviour::EndlessPieces ||
                                    b.second == Behaviour::LatePieces;
                const bool fails =
                    !(op == "viClear" && (pieces || b.second == Behaviour::OneByteWrites)) &&
                    !(pieces && (op == "viWrite" || op == "viPrintf"));
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(b.first, operation)))
                    << b.second << op << fails;
            }
        }
    }
    void operationsEndByTheirDeadline()
    {
        QFETCH(Behaviour, behaviour);
        QFETCH(QByteArray, operation);
        QFETCH(bool, fails);
        server.setBehaviour(Behaviour::Silent);
        ViSession vi = VI_NULL;
        QCOMPARE(viOpen(rm, address, VI_NULL, 2000, &vi), VI_SUCCESS);
        viSetAttribute(vi, VI_ATTR_TMO_VALUE, timeoutMs);
        server.setBehaviour(behaviour);
        QElapsedTimer elapsed;
        elapsed.start();
        const ViStatus status = runOperation(operation, vi);
        const qint64 took = elapsed.elapsed();
        viClose(vi);
        worstMs[operation] = std::max(worstMs[operation], took);
        QVERIFY2(took <= allowedMs, qPrintable(QStringLiteral("%1 ms").arg(took)));
        QCOMPARE(status < VI_SUCCESS, fails);
    }

    void openEndsByItsDeadline_data()
    {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<QByteArray>("resource");
        QTest::newRow("silent portmapper") << Behaviour::SilentPortmapper << QByteArray(address);
        QTest::newRow("silent create_link") << Behaviour::SilentLink << QByteArray(address);
    }
    void openEndsByItsDeadline()
    {
        QFETCH(Behaviour, behaviour);
        QFETCH(QByteArray, resource);
        server.setBehaviour(behaviour);
        ViSession vi = VI_NULL;
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(viOpen(rm, resource.constData(), VI_NULL, openTimeoutMs, &vi),
                 ViStatus(VI_ERROR_TMO));
        const qint64 took = elapsed.elapsed();
        worstMs["viOpen"] = std::max(worstMs["viOpen"], took);
        QVERIFY2(took <= openTimeoutMs + 250, qPrintable(QStringLiteral("%1 ms").arg(took)));
        QCOMPARE(vi, ViSession(VI_NULL));
    }

    void nameLookupRunsUnderTheOpenDeadline()
    {
        SilentNameServer names;
        QVERIFY(names.start());
        ViSession vi = VI_NULL;
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(viOpen(rm, "TCPIP0::bench-module.voltadesk.test::inst0::INSTR", VI_NULL,
                        openTimeoutMs, &vi),
                 ViStatus(VI_ERROR_TMO));
        const qint64 took = elapsed.elapsed();
        worstMs["viOpen"] = std::max(worstMs["viOpen"], took);
        QVERIFY2(took <= openTimeoutMs + 250, qPrintable(QStringLiteral("%1 ms").arg(took)));
        // A literal address never reaches the silent name service.
        server.setBehaviour(Behaviour::Silent);
        elapsed.restart();
        QCOMPARE(viOpen(rm, address, VI_NULL, openTimeoutMs, &vi), VI_SUCCESS);
        QVERIFY(elapsed.elapsed() < 500);
        viClose(vi);
    }

    void repliesThatBreakTheProtocolAreErrors_data()
    {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<int>("expected");
        QTest::newRow("more data than asked for") << Behaviour::OversizedRead << int(VI_ERROR_IO);
        QTest::newRow("opaque longer than the record")
            << Behaviour::HugeOpaque << int(VI_ERROR_CONN_LOST);
        QTest::newRow("record over the cap") << Behaviour::GiantRecord << int(VI_ERROR_CONN_LOST);
    }
    void repliesThatBreakTheProtocolAreErrors()
    {
        QFETCH(Behaviour, behaviour);
        QFETCH(int, expected);
        server.setBehaviour(Behaviour::Silent);
        ViSession vi = VI_NULL;
        QCOMPARE(viOpen(rm, address, VI_NULL, 2000, &vi), VI_SUCCESS);
        server.setBehaviour(behaviour);
        char reply[16];
        std::memset(reply, '#', sizeof reply);
        ViUInt32 count = 99;
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(viRead(vi, reinterpret_cast<ViPBuf>(reply), 8, &count), ViStatus(expected));
        QVERIFY(elapsed.elapsed() < 1000);
        QCOMPARE(count, ViUInt32(0));
        QCOMPARE(QByteArray(reply, sizeof reply), QByteArray(sizeof reply, '#'));
        viClose(vi);
    }

    // Replies that keep to the protocol in unusual ways arrive whole, into the caller's buffer
    // or the scanned response, and leave the link in step for the next operation.
    void repliesInPiecesOrOutOfTurnArriveWhole_data()
    {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<QByteArray>("operation");
        QTest::newRow("read in fragments and pieces")
            << Behaviour::FragmentedBulk << QByteArray("viRead");
        QTest::newRow("query in fragments and pieces")
            << Behaviour::FragmentedBulk << QByteArray("viQueryf");
        QTest::newRow("query answered out of turn")
            << Behaviour::OutOfTurn << QByteArray("viQueryf");
    }
    void repliesInPiecesOrOutOfTurnArriveWhole()
    {
        QFETCH(Behaviour, behaviour);
        QFETCH(QByteArray, operation);
        server.setBehaviour(Behaviour::Silent);
        ViSession vi = VI_NULL;
        QCOMPARE(viOpen(rm, address, VI_NULL, 2000, &vi), VI_SUCCESS);
        viSetAttribute(vi, VI_ATTR_TMO_VALUE, timeoutMs);
        server.setBehaviour(behaviour);
        for (int size : {300000, 70001}) {
            if (operation == "viRead") {
                QByteArray data(size + 8, '#');
                ViUInt32 count = 0;
                QCOMPARE(viRead(vi, reinterpret_cast<ViPBuf>(data.data()), ViUInt32(size), &count),
                         VI_SUCCESS);
                QCOMPARE(int(count), size);
                QVERIFY(data.left(size) == HostileServer::bulkData(size));
                QCOMPARE(data.mid(size), QByteArray(8, '#'));
            } else {
                char reply[256] = {};
                QCOMPARE(viQueryf(vi, "*IDN?\n", "%255t", reply), VI_SUCCESS);
                QCOMPARE(QByteArray(reply), HostileServer::bulkData(255));
            }
        }
        viClose(vi);
    }
};

QTEST_GUILESS_MAIN(TestVisaHostile)
#include "tst_visahostile.moc"
