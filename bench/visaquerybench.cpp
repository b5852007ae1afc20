// Reads from a simulated module through our VISA library, each beside its peers and its limit
// from the same run: "*IDN?" round trips through our layer, a bare libtirpc client and
// pyvisa-py, beside a raw TCP ping-pong of the same sizes; definite-length block reads (the
// 128 KiB flash read-back of a firmware update, then 64 KiB, 1 MiB and 16 MiB) beside a bare
// libtirpc client and a raw TCP ping-pong moving the same bytes, with CPU time per MiB.
// The I/O record's cost: the same query through the command chain with recording off and on,
// interleaved, and the time one record takes beside the time of one query.
// The simulator ("rvka5630-sim --bench") is a process of its own, so that CPU time splits
// cleanly between client and simulator. The bench starts one, or with --external PID talks to
// one already running at 127.0.0.2, so that scripts/bench.sh can pin the two to CPUs of its
// choice. Run inside a private network namespace:
//   scripts/in-netns build/bench/visaquerybench [seconds-per-row] [--external PID] [--recording]
// (--recording: the I/O record's rows alone)
#include "commandchain.h"
#include "definiteblock.h"
#include "iorecorder.h"
#include "modulesession.h"
#include "pingpongserver.h"
#include "vxi11.h"

#include <visa.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

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

// "*IDN?" through the command chain on a module's session, as the panel queries, with the I/O
// record on or off.
double cpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

struct ChainFigures
{
    double rate = 0;          // queries/s
    double cpuUsPerQuery = 0; // the querying thread's CPU time
};

ChainFigures chainQueries(ModuleSession &session, double seconds, bool recording)
{
    IoRecorder::instance().setEnabled(recording);
    char reply[256];
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    long count = 0;
    while (timer.elapsed() < seconds * 1000) {
        for (int i = 0; i < 100; ++i)
            count += CommandChain(session).queryToken("*IDN?\n", reply).ok() ? 1 : 0;
    }
    const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
    IoRecorder::instance().setEnabled(true);
    return {count * 1000.0 / timer.elapsed(), count ? cpu * 1e6 / count : 0};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

const int recordingRounds = 15;

struct RecordingFigures
{
    double off = 0, on = 0;  // queries/s, medians of the interleaved rounds
    double ratio = 0;        // on / off, median of the rounds' own ratios
    double recordUs = 0;     // one record of a query, without the I/O
    double cpuOffUs = 0, cpuOnUs = 0; // the querying thread's CPU per query, medians
};

RecordingFigures recordingCost(double seconds)
{
    ViSession rm = VI_NULL;
    ModuleSession session;
    if (viOpenDefaultRM(&rm) != VI_SUCCESS ||
        session.open(rm, QString::fromLatin1(resource), 1000) != VI_SUCCESS)
        return {};
    const ViSession vi = session.vi();
    // Each round runs both, in alternating order, and its own ratio cancels the drift of a
    // shared machine's load between rounds.
    std::vector<double> off, on, ratios, cpuOff, cpuOn;
    for (int round = 0; round < recordingRounds; ++round) {
        const double slice = seconds / recordingRounds / 2;
        const bool onFirst = round % 2;
        const ChainFigures first = chainQueries(session, slice, onFirst);
        const ChainFigures second = chainQueries(session, slice, !onFirst);
        const ChainFigures &without = onFirst ? second : first;
        const ChainFigures &with = onFirst ? first : second;
        off.push_back(without.rate);
        on.push_back(with.rate);
        ratios.push_back(without.rate > 0 ? with.rate / without.rate : 0);
        cpuOff.push_back(without.cpuUsPerQuery);
        cpuOn.push_back(with.cpuUsPerQuery);
    }
    // What recording adds to one query: the call's timing, the resource's name, the texts and
    // the ring.
    const int records = 200000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < records; ++i) {
        IoCall call(vi);
        call.sent = "*IDN?\n";
        call.received = QByteArray("Korvalis,RVKA5630,0042,1.3");
        call.finish(VI_SUCCESS);
    }
    const double recordUs = timer.nsecsElapsed() / 1000.0 / records;
    IoRecorder::instance().clear();
    session.close();
    viClose(rm);
    return {median(off), median(on), median(ratios), recordUs, median(cpuOff), median(cpuOn)};
}

// A VXI-11 link through libtirpc's own client, with no VISA layer: the peer that shows what
// the RPC transport alone costs.
class TirpcLink
{
public:
    bool open()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, host, &address.sin_addr);
        const u_short port =
            pmap_getport(&address, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
        if (!port)
            return false;
        address.sin_port = htons(port);
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            return false;
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        netbuf remote{sizeof address, sizeof address, &address};
        client = clnt_vc_create(fd, &remote, DEVICE_CORE, DEVICE_CORE_VERSION, 0, 0);
        Create_LinkParms linkParms{};
        linkParms.device = const_cast<char *>("inst0");
        Create_LinkResp link{};
        return client &&
               clnt_call(client, create_link, xdrproc_t(xdr_Create_LinkParms),
                         caddr_t(&linkParms), xdrproc_t(xdr_Create_LinkResp), caddr_t(&link),
                         timeout) == RPC_SUCCESS &&
               (linkId = link.lid, link.error == 0);
    }
    ~TirpcLink()
    {
        if (client)
            clnt_destroy(client);
        if (fd >= 0)
            ::close(fd);
    }

    // One message and one read of its response; the number of bytes that came back.
    u_int query(QByteArray message, u_long requestSize)
    {
        Device_WriteParms write{};
        write.lid = linkId;
        write.io_timeout = 10000;
        write.flags = 8; // END
        write.data.data_len = u_int(message.size());
        write.data.data_val = message.data();
        Device_WriteResp written{};
        clnt_call(client, device_write, xdrproc_t(xdr_Device_WriteParms), caddr_t(&write),
                  xdrproc_t(xdr_Device_WriteResp), caddr_t(&written), timeout);
        Device_ReadParms read{};
        read.lid = linkId;
        read.requestSize = requestSize;
        read.io_timeout = 10000;
        Device_ReadResp data{};
        const bool ok = clnt_call(client, device_read, xdrproc_t(xdr_Device_ReadParms),
                                  caddr_t(&read), xdrproc_t(xdr_Device_ReadResp), caddr_t(&data),
                                  timeout) == RPC_SUCCESS &&
                        data.error == 0;
        const u_int bytes = ok ? data.data.data_len : 0;
        xdr_free(xdrproc_t(xdr_Device_ReadResp), caddr_t(&data));
        return bytes;
    }

private:
    const timeval timeout{10, 0};
    int fd = -1;
    CLIENT *client = nullptr;
    Device_Link linkId = 0;
};

double bareTirpc(double seconds)
{
    TirpcLink link;
    if (!link.open())
        return 0;
    QElapsedTimer timer;
    timer.start();
    long count = 0;
    while (timer.elapsed() < seconds * 1000) {
        for (int i = 0; i < 100; ++i)
            count += link.query("*IDN?\n", 65536) > 0 ? 1 : 0;
    }
    return count * 1000.0 / timer.elapsed();
}

// Blocks of `bytes` bytes asked for with `query` and read in one device_read. MiB/s.
double bareTirpcBlock(double seconds, const char *query, int bytes, int wireBytes)
{
    TirpcLink link;
    if (!link.open())
        return 0;
    const QByteArray message = QString::asprintf(query, bytes).toLatin1();
    QElapsedTimer timer;
    timer.start();
    qint64 total = 0;
    while (timer.elapsed() < seconds * 1000) {
        if (link.query(message, u_long(wireBytes)) != u_int(wireBytes))
            return 0;
        total += bytes;
    }
    return total / 1048576.0 / (timer.elapsed() / 1000.0);
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

// The raw TCP limit: asks the ping-pong server for `bytes` bytes (a 4-byte request) and reads
// them into one buffer, over and over. Round trips per second.
double pingPong(double seconds, int bytes)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(PingPongServer::port);
    inet_pton(AF_INET, host, &address.sin_addr);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return 0;
    }
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const uint32_t request = htonl(uint32_t(bytes));
    std::vector<char> reply(static_cast<size_t>(bytes));
    QElapsedTimer timer;
    timer.start();
    long rounds = 0;
    bool failed = false;
    while (!failed && timer.elapsed() < seconds * 1000) {
        failed = ::send(fd, &request, sizeof request, MSG_NOSIGNAL) != ssize_t(sizeof request);
        for (size_t got = 0; !failed && got < reply.size();) {
            const ssize_t n = ::recv(fd, reply.data() + got, reply.size() - got, 0);
            failed = n <= 0;
            got += failed ? 0 : size_t(n);
        }
        rounds += failed ? 0 : 1;
    }
    const double rate = rounds * 1000.0 / timer.elapsed();
    ::close(fd);
    return failed ? 0 : rate;
}

// User and system CPU time of another process, from /proc.
double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

struct BlockFigures
{
    double mibPerSecond = 0;
    double clientCpuMsPerMib = 0;    // the reading thread
    double simulatorCpuMsPerMib = 0; // the whole simulator process
};

// Definite-length blocks of `bytes` bytes, each asked for with `query` (a printf format
// taking the byte count) and read through our layer.
BlockFigures blockRead(double seconds, const char *query, int bytes, qint64 simulatorPid)
{
    ViSession rm = VI_NULL, vi = VI_NULL;
    if (viOpenDefaultRM(&rm) != VI_SUCCESS ||
        viOpen(rm, resource, VI_NULL, 1000, &vi) != VI_SUCCESS)
        return {};
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 10000);
    QElapsedTimer timer;
    timer.start();
    const double clientStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double simulatorStart = processCpuSeconds(simulatorPid);
    qint64 total = 0;
    bool failed = false;
    // One buffer for every block, as a reader of many blocks keeps it (the ping-pong does too).
    QByteArray block;
    while (!failed && timer.elapsed() < seconds * 1000) {
        failed = viPrintf(vi, query, bytes) != VI_SUCCESS ||
                 DefiniteBlock::read(vi, block, quint64(bytes)) != VI_SUCCESS ||
                 block.size() != bytes;
        total += block.size();
    }
    const double client = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - clientStart;
    const double simulator = processCpuSeconds(simulatorPid) - simulatorStart;
    const double mib = std::max(total / 1048576.0, 1e-9);
    const BlockFigures figures{mib / (timer.elapsed() / 1000.0), client * 1000 / mib,
                               simulator * 1000 / mib};
    viClose(vi);
    viClose(rm);
    return failed ? BlockFigures{} : figures;
}

struct BlockRow
{
    const char *label;
    const char *query;
    int bytes;
};

const BlockRow blockRows[] = {
    {"128 KiB  MEMREAD? (flash)", "MEMREAD? 0x08000000,0x%08X\n", 128 << 10},
    {"64 KiB   BENCH:BLOCK?", "BENCH:BLOCK? %d\n", 64 << 10},
    {"1 MiB    BENCH:BLOCK?", "BENCH:BLOCK? %d\n", 1 << 20},
    {"16 MiB   BENCH:BLOCK?", "BENCH:BLOCK? %d\n", 16 << 20},
};

double ratio(double ours, double limit)
{
    return limit > 0 ? ours / limit : 0.0;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    double seconds = 3.0;
    bool recordingOnly = false;
    qint64 simulatorPid = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--recording") == 0)
            recordingOnly = true;
        else if (std::strcmp(argv[i], "--external") == 0 && i + 1 < argc)
            simulatorPid = std::atoll(argv[++i]);
        else
            seconds = std::atof(argv[i]);
    }
    QProcess simulator;
    if (simulatorPid == 0) {
        simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        simulator.start(QStringLiteral(VOLTADESK_SIMULATOR),
                        {"--bench", "--address", QString::fromLatin1(host)});
        QByteArray output;
        while (!output.contains("ready\n") && simulator.waitForReadyRead(10000))
            output += simulator.readAllStandardOutput();
        if (!output.contains("ready\n")) {
            std::fprintf(stderr, "visaquerybench: the simulator did not start (run in-netns)\n");
            return 1;
        }
        simulatorPid = simulator.processId();
    }
    if (!recordingOnly) {
        // What one "*IDN?" brings back: the identification and its line feed.
        const int idnReplyBytes = int(sizeof "Korvalis,RVKA5630,0042,1.3\n") - 1;
        const double ours = ourLayer(seconds);
        const double bare = bareTirpc(seconds);
        const double python = pyvisaPy(seconds);
        const double raw = pingPong(seconds, idnReplyBytes);
        std::printf("*IDN? round trips on loopback (%.1f s each)\n", seconds);
        std::printf("  our VISA layer      %9.0f queries/s\n", ours);
        std::printf("  bare libtirpc       %9.0f queries/s\n", bare);
        std::printf("  pyvisa-py           %9.0f queries/s\n", python);
        std::printf("  raw TCP ping-pong   %9.0f round trips/s (%d bytes back: the limit)\n", raw,
                    idnReplyBytes);
        std::printf("  ours / pyvisa-py    %9.2f\n", ratio(ours, python));
        std::printf("  ours / bare tirpc   %9.2f\n", ratio(ours, bare));
        std::printf("  ours / ping-pong    %9.2f\n", ratio(ours, raw));
    }
    const RecordingFigures recording = recordingCost(3 * seconds);
    std::printf("*IDN? through the command chain with the I/O record (%.1f s, %d interleaved "
                "rounds, medians)\n", 3 * seconds, recordingRounds);
    std::printf("  recording off       %9.0f queries/s\n", recording.off);
    std::printf("  recording on        %9.0f queries/s\n", recording.on);
    std::printf("  on / off            %9.3f (median of the rounds' ratios: %+.1f %%)\n",
                recording.ratio, (recording.ratio - 1) * 100);
    std::printf("  querying thread CPU %9.2f us per query off, %.2f us on\n", recording.cpuOffUs,
                recording.cpuOnUs);
    std::printf("  one record          %9.2f us = %.2f %% of a query's %.1f us\n",
                recording.recordUs,
                recording.off > 0 ? recording.recordUs * recording.off / 1e4 : 0.0,
                recording.off > 0 ? 1e6 / recording.off : 0.0);

    if (!recordingOnly) {
        std::printf("definite-length blocks read through our layer, beside a bare libtirpc client and "
                    "a raw TCP ping-pong\nmoving the same bytes (the limit), %.1f s each; CPU per MiB "
                    "of our reading thread and of the simulator\n",
                    seconds);
        std::printf("  %-26s %8s %8s %9s %10s %10s %10s\n", "block", "ours", "tirpc", "ping-pong",
                    "ours/limit", "client CPU", "sim CPU");
        std::printf("  %-26s %8s %8s %9s %10s %10s %10s\n", "", "MiB/s", "MiB/s", "MiB/s", "",
                    "ms/MiB", "ms/MiB");
        for (const BlockRow &row : blockRows) {
            const BlockFigures figures = blockRead(seconds, row.query, row.bytes, simulatorPid);
            const int wireBytes = int(DefiniteBlock::header(quint64(row.bytes)).size()) + row.bytes;
            const double tirpc = bareTirpcBlock(seconds, row.query, row.bytes, wireBytes);
            const double limit = pingPong(seconds, wireBytes) * row.bytes / 1048576.0;
            std::printf("  %-26s %8.1f %8.1f %9.1f %10.2f %10.2f %10.2f\n", row.label,
                        figures.mibPerSecond, tirpc, limit, ratio(figures.mibPerSecond, limit),
                        figures.clientCpuMsPerMib, figures.simulatorCpuMsPerMib);
        }
    }
    if (simulator.state() != QProcess::NotRunning) {
        simulator.terminate();
        simulator.waitForFinished(5000);
    }
    return 0;
}
