// "*IDN?" round trips against a simulated module through our VISA library, through a bare
// libtirpc client and through pyvisa-py, and the read rate of a 128 KiB definite-length
// block. Prints queries per second and the ratios. Run inside a private network namespace:
//   scripts/in-netns build/bench/visaquerybench [seconds-per-client]
#include "definiteblock.h"
#include "simbench.h"
#include "vxi11.h"

#include <visa.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {
const char *host = "127.0.0.2";
const char *resource = "TCPIP0::127.0.0.2::inst0::INSTR";

double ourLayer(double seconds)
{
    ViSession rm = VI_NULL, vi = VI_NULL;
    if (viOpenDefaultRM(&rm) != VI_SUCCESS ||
        viOpen(rm, resource, VI_NULL, 1000, &vi) != VI_SUCCESS)
        return 0;
    char reply[256];
    QElapsedTimer timer;
    timer.start();
    long count = 0;
    while (timer.elapsed() < seconds * 1000) {
        for (int i = 0; i < 100; ++i)
            if (viQueryf(vi, "*IDN?\n", "%255s", reply) == VI_SUCCESS)
                ++count;
    }
    const double rate = count * 1000.0 / timer.elapsed();
    viClose(vi);
    viClose(rm);
    return rate;
}

double bareTirpc(double seconds)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, host, &address.sin_addr);
    u_short port = pmap_getport(&address, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
    if (!port)
        return 0;
    address.sin_port = htons(port);
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return 0;
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    netbuf remote{sizeof address, sizeof address, &address};
    CLIENT *client = clnt_vc_create(fd, &remote, DEVICE_CORE, DEVICE_CORE_VERSION, 0, 0);
    timeval timeout{2, 0};
    Create_LinkParms linkParms{};
    linkParms.device = const_cast<char *>("inst0");
    Create_LinkResp link{};
    clnt_call(client, create_link, xdrproc_t(xdr_Create_LinkParms), caddr_t(&linkParms),
              xdrproc_t(xdr_Create_LinkResp), caddr_t(&link), timeout);
    char query[] = "*IDN?\n";
    QElapsedTimer timer;
    timer.start();
    long count = 0;
    while (timer.elapsed() < seconds * 1000) {
        for (int i = 0; i < 100; ++i) {
            Device_WriteParms write{};
            write.lid = link.lid;
            write.io_timeout = 2000;
            write.flags = 8;
            write.data.data_len = sizeof query - 1;
            write.data.data_val = query;
            Device_WriteResp written{};
            clnt_call(client, device_write, xdrproc_t(xdr_Device_WriteParms), caddr_t(&write),
                      xdrproc_t(xdr_Device_WriteResp), caddr_t(&written), timeout);
            Device_ReadParms read{};
            read.lid = link.lid;
            read.requestSize = 65536;
            read.io_timeout = 2000;
            Device_ReadResp data{};
            if (clnt_call(client, device_read, xdrproc_t(xdr_Device_ReadParms), caddr_t(&read),
                          xdrproc_t(xdr_Device_ReadResp), caddr_t(&data), timeout) == RPC_SUCCESS)
                ++count;
            xdr_free(xdrproc_t(xdr_Device_ReadResp), caddr_t(&data));
        }
    }
    const double rate = count * 1000.0 / timer.elapsed();
    clnt_destroy(client);
    ::close(fd);
    return rate;
}

double pyvisaPy(double seconds)
{
    const QString script = QStringLiteral("import pyvisa, time\n"
                                          "rm = pyvisa.ResourceManager('@py')\n"
                                          "i = rm.open_resource('%1')\n"
                                          "n = 0\n"
                                          "t = time.perf_counter()\n"
                                          "while time.perf_counter() - t < %2:\n"
                                          "    for _ in range(100):\n"
                                          "        i.query('*IDN?'); n += 1\n"
                                          "print(n / (time.perf_counter() - t))\n")
                               .arg(QLatin1String(resource))
                               .arg(seconds);
    QProcess python;
    // Debian's own interpreter, where python3-pyvisa-py is installed.
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script});
    if (!python.waitForFinished(int(seconds * 1000) + 30000))
        return 0;
    return python.readAllStandardOutput().trimmed().toDouble();
}

double blockRead(double seconds, int &blockBytes)
{
    ViSession rm = VI_NULL, vi = VI_NULL;
    if (viOpenDefaultRM(&rm) != VI_SUCCESS ||
        viOpen(rm, resource, VI_NULL, 1000, &vi) != VI_SUCCESS)
        return 0;
    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    while (timer.elapsed() < seconds * 1000) {
        viPrintf(vi, "MEMREAD? 0x%08X,0x%08X\n", 0x08000000u, 0x20000u);
        QByteArray block;
        if (DefiniteBlock::read(vi, block, 0x20000) == VI_SUCCESS)
            bytes += block.size();
        blockBytes = block.size();
    }
    viClose(vi);
    viClose(rm);
    return bytes / 1048576.0 / (timer.elapsed() / 1000.0);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    SimBench bench;
    QString error;
    if (!bench.addRvka5630(QString::fromLatin1(host), &error)) {
        std::fprintf(stderr,
                     "cannot start the simulated module: %s\n(run inside scripts/in-netns)\n",
                     qPrintable(error));
        return 1;
    }
    const double ours = ourLayer(seconds);
    const double bare = bareTirpc(seconds);
    const double python = pyvisaPy(seconds);
    int blockBytes = 0;
    const double blockRate = blockRead(seconds, blockBytes);
    std::printf("*IDN? round trips on loopback (%.1f s each)\n", seconds);
    std::printf("  our VISA layer      %9.0f queries/s\n", ours);
    std::printf("  bare libtirpc       %9.0f queries/s\n", bare);
    std::printf("  pyvisa-py           %9.0f queries/s\n", python);
    std::printf("  ours / pyvisa-py    %9.2f\n", python > 0 ? ours / python : 0.0);
    std::printf("  ours / bare tirpc   %9.2f\n", bare > 0 ? ours / bare : 0.0);
    std::printf("128 KiB definite-length block (%d bytes) read through our layer: %.1f MiB/s\n",
                blockBytes, blockRate);
    bench.stop();
    return 0;
}
