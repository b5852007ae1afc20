// The simulated instruments' VXI-11 server against clients that misuse it: links of other
// connections, endless messages, running out of descriptors; and its bounded transcript.
// ctest-timeout: 120
#include "simlan.h"
#include "simtranscript.h"
#include "vxi11.h"

#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {
constexpr long errorInvalidLink = 4;
constexpr long errorOutOfResources = 9;
constexpr long flagEnd = 0x08;

// A bare VXI-11 core-channel client of our own, so that a test can send what the VISA
// library never would.
class CoreClient
{
public:
    explicit CoreClient(const char *host)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, host, &address.sin_addr);
        const u_short port = pmap_getport(&address, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
        address.sin_port = htons(port);
        int socket = RPC_ANYSOCK;
        client = port ? clnttcp_create(&address, DEVICE_CORE, DEVICE_CORE_VERSION, &socket, 0, 0)
                      : nullptr;
    }
    ~CoreClient()
    {
        if (client)
            clnt_destroy(client);
    }
    bool ok() const { return client != nullptr; }

    long createLink()
    {
        Create_LinkParms parms{};
        parms.device = const_cast<char *>("inst0");
        Create_LinkResp response{};
        return call(create_link, xdrproc_t(xdr_Create_LinkParms), &parms,
                    xdrproc_t(xdr_Create_LinkResp), &response) && response.error == 0
                   ? response.lid
                   : -1;
    }
    long write(long lid, QByteArray data, bool end)
    {
        Device_WriteParms parms{};
        parms.lid = lid;
        parms.io_timeout = 1000;
        parms.flags = end ? flagEnd : 0;
        parms.data.data_len = u_int(data.size());
        parms.data.data_val = data.data();
        Device_WriteResp response{};
        return call(device_write, xdrproc_t(xdr_Device_WriteParms), &parms,
                    xdrproc_t(xdr_Device_WriteResp), &response)
                   ? response.error
                   : -1;
    }
    long destroy(long lid)
    {
        Device_Error response{};
        return call(destroy_link, xdrproc_t(xdr_Device_Link), &lid, xdrproc_t(xdr_Device_Error),
                    &response)
                   ? response.error
                   : -1;
    }

private:
    bool call(u_long procedure, xdrproc_t in, void *args, xdrproc_t out, void *result)
    {
        timeval timeout{5, 0};
        return clnt_call(client, procedure, in, reinterpret_cast<caddr_t>(args), out,
                         reinterpret_cast<caddr_t>(result), timeout) == RPC_SUCCESS;
    }
    CLIENT *client = nullptr;
};

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

class TestSimServer : public QObject
{
    Q_OBJECT

private:
    SimLan lan;
    SimModule *module = nullptr;

private slots:
    void initTestCase()
    {
        module = lan.addScripted(QStringLiteral("127.0.0.2"));
        QVERIFY(module);
    }
    void init() { module->transcript().clear(); }

    void linkBelongsToItsConnection()
    {
        CoreClient owner("127.0.0.2"), other("127.0.0.2");
        QVERIFY(owner.ok() && other.ok());
        const long lid = owner.createLink();
        QVERIFY(lid > 0);
        QCOMPARE(other.write(lid, "*RST\n", true), errorInvalidLink);
        QCOMPARE(other.destroy(lid), errorInvalidLink);
        QCOMPARE(owner.write(lid, "*CLS\n", true), 0L);
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>{"*CLS\n"});
        QCOMPARE(owner.destroy(lid), 0L);
    }

    void pendingWriteIsCappedAtTheAnnouncedSize()
    {
        CoreClient client("127.0.0.2");
        const long lid = client.createLink();
        QVERIFY(lid > 0);
        // The server invites 1 MiB per message; a client that writes on without END is told
        // so and loses that message, and the link goes on with the next one.
        QCOMPARE(client.write(lid, QByteArray(1 << 20, 'a'), false), 0L);
        QCOMPARE(client.write(lid, "b", false), errorOutOfResources);
        QCOMPARE(client.write(lid, "*IDN?\n", true), 0L);
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>{"*IDN?\n"});
    }

    void transcriptKeepsRecentMessagesAndCounts()
    {
        SimTranscript transcript;
        const int sent = SimTranscript::maxMessages + 10;
        for (int i = 0; i < sent; ++i)
            transcript.append(QByteArray::number(i));
        QCOMPARE(transcript.messages().size(), SimTranscript::maxMessages);
        QCOMPARE(transcript.messages().first(), QByteArray::number(10));
        QCOMPARE(transcript.receivedCount(), quint64(sent));
        QCOMPARE(transcript.droppedCount(), quint64(10));
        QVERIFY(transcript.waitFor([&](const QByteArray &m) { return m == QByteArray::number(sent - 1); }, 0));
        transcript.append(QByteArray(SimTranscript::maxBytes, 'x'));
        QCOMPARE(transcript.messages().size(), 1);
    }

    void outOfDescriptorsBacksOff()
    {
        // Leave the process a few descriptors, take them all, and have one client wait in
        // the listen queue: the server cannot accept it and must not spin meanwhile. (First
        // the server closes what the clients of earlier tests left; it reaps once a second.)
        QTest::qSleep(1500);
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        int highest = 0;
        for (int fd = 0; fd < 4096; ++fd)
            if (fcntl(fd, F_GETFD) != -1)
                highest = fd;
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(highest + 16);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &tight), 0);
        std::vector<int> fillers;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            fillers.push_back(fd);
        ::close(fillers.back());
        fillers.pop_back();
        const int waiting = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(111);
        inet_pton(AF_INET, "127.0.0.2", &address.sin_addr);
        const bool connected =
            ::connect(waiting, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;

        const double before = processCpuSeconds();
        QTest::qSleep(1000);
        const double used = processCpuSeconds() - before;

        ::close(waiting);
        for (int fd : fillers)
            ::close(fd);
        setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY(connected);
        QVERIFY2(used < 0.2, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(used)));
        // Descriptors back: the waiting client's place is taken by the next one.
        CoreClient client("127.0.0.2");
        QVERIFY(client.ok());
    }
};

QTEST_GUILESS_MAIN(TestSimServer)
#include "tst_simserver.moc"
