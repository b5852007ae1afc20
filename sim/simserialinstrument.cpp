#include "simserialinstrument.h"

#include "timefacility.h"

#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

SimSerialInstrument::SimSerialInstrument(const QString &manufacturer, const QString &description)
    : manufacturer(manufacturer), description(description)
{
}

SimSerialInstrument::~SimSerialInstrument()
{
    stop();
}

bool SimSerialInstrument::start(QString *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error = systemError(what);
        closeFd(slaveFd);
        closeFd(masterFd);
        return false;
    };
    if (masterFd >= 0)
        return true;
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd < 0)
        return fail("posix_openpt");
    char name[128] = {};
    if (grantpt(masterFd) != 0 || unlockpt(masterFd) != 0 ||
        ptsname_r(masterFd, name, sizeof name) != 0)
        return fail("pseudo-terminal");
    slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0)
        return fail(name);
    // Raw from the start: a line discipline that echoed or edited would answer for the
    // instrument before the program has set the port up.
    termios settings{};
    tcgetattr(slaveFd, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B115200);
    tcsetattr(slaveFd, TCSANOW, &settings);
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe");
    slavePath = QString::fromLocal8Bit(name);
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = false;
    }
    worker = std::thread(&SimSerialInstrument::run, this);
    return true;
}

void SimSerialInstrument::stop()
{
    if (worker.joinable()) {
        {
            std::lock_guard<std::mutex> guard(lock);
            stopping = true;
        }
        const char wake = 0;
        (void)!::write(wakePipe[1], &wake, 1);
        worker.join();
    }
    closeFd(holderFd);
    closeFd(slaveFd);
    closeFd(masterFd);
    closeFd(wakePipe[0]);
    closeFd(wakePipe[1]);
}

void SimSerialInstrument::run()
{
    char buffer[4096];
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (stopping)
                return;
        }
        const bool due = !output.empty() && output.front().due <= Clock::now();
        pollfd fds[2] = {{masterFd, short(POLLIN | (due ? POLLOUT : 0)), 0},
                         {wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, pollTimeoutMs()) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN)
            while (::read(wakePipe[0], buffer, sizeof buffer) > 0) {
            }
        {
            std::lock_guard<std::mutex> guard(lock);
            if (dropOutput)
                output.clear();
            dropOutput = false;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
            if (n > 0)
                handleInput(QByteArray(buffer, int(n)));
        }
        writeDuePieces();
    }
}

int SimSerialInstrument::pollTimeoutMs() const
{
    if (output.empty())
        return -1;
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(output.front().due - Clock::now());
    // Due but not yet writable: look again soon in case the reader drains the terminal.
    return wait.count() <= 0 ? 20 : int(wait.count()) + 1;
}

void SimSerialInstrument::handleInput(const QByteArray &bytes)
{
    pendingLine += bytes;
    for (int end = pendingLine.indexOf('\n'); end >= 0; end = pendingLine.indexOf('\n')) {
        const QByteArray line = pendingLine.left(end + 1);
        pendingLine.remove(0, end + 1);
        // Recorded once acted upon, so that a test that sees the line sees its effect too.
        QByteArray reply = execute(line);
        received.append(line);
        {
            std::lock_guard<std::mutex> guard(lock);
            if (linesBeforeStall > 0 && --linesBeforeStall == 0)
                stallLocked(true);
            if (reply.isEmpty() || mute)
                continue;
            if (silentReplies > 0 && repliesBeforeSilence-- <= 0) {
                --silentReplies;
                continue;
            }
            if (!replyOverride.isEmpty())
                reply = replyOverride;
            if (!scriptedReplies.empty()) {
                if (!scriptedReplies.front().isEmpty())
                    reply = scriptedReplies.front();
                scriptedReplies.pop_front();
            }
        }
        queueReply(reply);
    }
}

void SimSerialInstrument::queueReply(const QByteArray &reply)
{
    int count = 1;
    int gap = 0;
    int delay = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        count = qBound(1, pieces, reply.size());
        gap = gapMs;
        delay = replyDelayMs;
    }
    const TimeFacility &time = TimeFacility::instance();
    const auto gapReal = std::chrono::milliseconds(time.toReal(gap));
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(time.toReal(delay));
    if (!output.empty() && output.back().due > due)
        due = output.back().due;
    int taken = 0;
    for (int i = 0; i < count; ++i) {
        const int size = (reply.size() - taken) / (count - i);
        output.push_back({reply.mid(taken, size), due});
        taken += size;
        due += gapReal;
    }
}

void SimSerialInstrument::writeDuePieces()
{
    while (!output.empty() && output.front().due <= Clock::now()) {
        Piece &piece = output.front();
        const ssize_t n = ::write(masterFd, piece.bytes.constData(), size_t(piece.bytes.size()));
        if (n < 0)
            return; // the terminal is full; poll waits until it drains
        piece.bytes.remove(0, int(n));
        if (piece.bytes.isEmpty())
            output.pop_front();
    }
}

void SimSerialInstrument::setUsbStrings(const QString &newManufacturer,
                                        const QString &newDescription)
{
    std::lock_guard<std::mutex> guard(lock);
    manufacturer = newManufacturer;
    description = newDescription;
}

QString SimSerialInstrument::usbManufacturer() const
{
    std::lock_guard<std::mutex> guard(lock);
    return lowerCaseMaker ? manufacturer.toLower() : manufacturer;
}

QString SimSerialInstrument::usbDescription() const
{
    std::lock_guard<std::mutex> guard(lock);
    return description;
}

QString SimSerialInstrument::portEntry() const
{
    return QStringList{path(), usbManufacturer(), usbDescription()}.join(QLatin1Char('|'));
}

void SimSerialInstrument::setMute(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    mute = on;
}

void SimSerialInstrument::setReplyDelayMs(int ms)
{
    std::lock_guard<std::mutex> guard(lock);
    replyDelayMs = qMax(0, ms);
}

void SimSerialInstrument::setSplitReply(int count, int gap)
{
    std::lock_guard<std::mutex> guard(lock);
    pieces = qMax(1, count);
    gapMs = qMax(0, gap);
}

void SimSerialInstrument::setStalled(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    stallLocked(on);
}

void SimSerialInstrument::stallLocked(bool on)
{
    if (slaveFd >= 0 && on != stalled)
        tcflow(slaveFd, on ? TCOOFF : TCOON);
    stalled = on;
}

void SimSerialInstrument::setStallAfter(int lines)
{
    std::lock_guard<std::mutex> guard(lock);
    linesBeforeStall = qMax(0, lines);
}

void SimSerialInstrument::setSilentReplies(int after, int count)
{
    std::lock_guard<std::mutex> guard(lock);
    repliesBeforeSilence = qMax(0, after);
    silentReplies = qMax(0, count);
}

void SimSerialInstrument::setHeldOpen(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    if (on && holderFd < 0 && !slavePath.isEmpty()) {
        holderFd = ::open(slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (holderFd >= 0)
            ioctl(holderFd, TIOCEXCL);
    } else if (!on && holderFd >= 0) {
        ioctl(holderFd, TIOCNXCL);
        closeFd(holderFd);
    }
}

void SimSerialInstrument::setLowerCaseMaker(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    lowerCaseMaker = on;
}

void SimSerialInstrument::setReplyOverride(const QByteArray &reply)
{
    std::lock_guard<std::mutex> guard(lock);
    replyOverride = reply;
}

void SimSerialInstrument::setScriptedReplies(const QVector<QByteArray> &replies)
{
    std::lock_guard<std::mutex> guard(lock);
    scriptedReplies.assign(replies.begin(), replies.end());
}

void SimSerialInstrument::dropPendingReplies()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        dropOutput = true;
    }
    const char wake = 0;
    (void)!::write(wakePipe[1], &wake, 1);
}

void SimSerialInstrument::clearFaults()
{
    dropPendingReplies();
    setScriptedReplies({});
    setStallAfter(0);
    setSilentReplies(0, 0);
    setMute(false);
    setReplyDelayMs(0);
    setSplitReply(1, 0);
    setStalled(false);
    setHeldOpen(false);
    setLowerCaseMaker(false);
    setReplyOverride(QByteArray());
}
