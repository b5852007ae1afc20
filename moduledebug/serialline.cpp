#include "serialline.h"

#include "delayms.h"
#include "eventwait.h"
#include "iorecorder.h"
#include "timefacility.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>
#include <QThread>

#include <algorithm>

namespace {

constexpr int writeTimeoutMs = 1000;
constexpr int firstReplyTimeoutMs = 10000;
// A pause this long without new bytes ends a reply that arrives in pieces.
constexpr int replyGapMs = 1000;
// A meter in continuous output, or one that drips a byte now and then, never pauses that long;
// a reply still growing this long after its first byte is given up on.
constexpr int replyLimitMs = 5000;
constexpr int multimeterSettlingMs = 1000;
constexpr int loadCommandPauseMs = 500;

const QByteArray multimeterRemote = "SYST:REM\n";
const QByteArray multimeterLocal = "SYST:LOC\n";
const QByteArrayList loadOpening = {"SYST:LOCK ON\n", "INP 0\n", "VOLT 0\n"};
const QByteArray loadUnlock = "SYST:LOCK OFF\n";

SerialReading replyValue(QByteArray reply)
{
    const int nul = reply.indexOf('\0');
    if (nul >= 0)
        reply.truncate(nul);
    bool ok = false;
    const double value = QString::fromLatin1(reply).trimmed().toDouble(&ok);
    if (!ok)
        return {SerialReading::Outcome::Garbled, 0.0};
    return {SerialReading::Outcome::Value, value};
}

bool onGuiThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// Waits until ready() holds or realMs have passed. On the module's I/O thread (or any thread
// but the window's) the port's own blocking wait, wait(), does the waiting; on the window's
// thread the wait keeps the window alive and wakes on the port's signal. A port in error
// returns from its blocking waits at once: it is then looked at every few milliseconds, so the
// wait still lasts its whole time, as it does on the window's thread.
template <class Ready, class Wait, class Signal>
bool blockUntil(QSerialPort &port, int realMs, Ready ready, Wait wait, Signal wakeSignal)
{
    if (onGuiThread()) {
        EventWait event(realMs);
        event.wakeOn(&port, wakeSignal);
        return event.until(ready);
    }
    constexpr int errorRetryMs = 10;
    const QDeadlineTimer deadline(realMs, Qt::PreciseTimer);
    while (!ready()) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        QElapsedTimer waited;
        waited.start();
        if (!wait(int(left)) && !ready() && waited.elapsed() < 1)
            QThread::msleep(std::min<qint64>(left, errorRetryMs));
    }
    return true;
}

// Waits up to realMs for bytes to read. Bytes that came in before the wait count as well: they
// are in the port's buffer.
bool waitForData(QSerialPort &port, int realMs)
{
    return blockUntil(
        port, realMs, [&port] { return port.bytesAvailable() > 0; },
        [&port](int ms) { return port.waitForReadyRead(ms); }, &QIODevice::readyRead);
}

// Collects the rest of a reply whose first bytes are in reply: it is complete once a whole gap
// passes without new bytes, and unfinished if that has not happened by the limit.
bool collectRest(QSerialPort &port, QByteArray &reply)
{
    TimeFacility &time = TimeFacility::instance();
    const qint64 giveUpAt = time.elapsedMs() + replyLimitMs;
    for (;;) {
        const qint64 left = giveUpAt - time.elapsedMs();
        if (left <= 0)
            return false;
        const bool lastWait = left < replyGapMs;
        if (!waitForData(port, time.timeout(lastWait ? int(left) : replyGapMs)))
            return !lastWait;
        reply += port.readAll();
    }
}

SerialWrite writeLine(QSerialPort &port, const QByteArray &text)
{
    if (port.write(text) != text.size())
        return SerialWrite::LinkBroken;
    // The line may leave in several pieces; the 1000 ms cover the whole of it.
    if (!blockUntil(
            port, TimeFacility::instance().timeout(writeTimeoutMs),
            [&port] { return port.bytesToWrite() == 0; },
            [&port](int ms) { return port.waitForBytesWritten(ms); }, &QIODevice::bytesWritten))
        return SerialWrite::LinkBroken;
    return SerialWrite::Written;
}

SerialReading exchange(QSerialPort &port, const QByteArray &text, QByteArray &reply)
{
    // Whatever is still waiting on the line belongs to an earlier query that was given up on;
    // taken as this reply it would shift every later reading by one.
    port.clear(QSerialPort::Input);
    if (writeLine(port, text) != SerialWrite::Written)
        return {SerialReading::Outcome::LinkBroken, 0.0};
    if (!waitForData(port, TimeFacility::instance().timeout(firstReplyTimeoutMs)))
        return {SerialReading::Outcome::NoReply, 0.0};
    reply = port.readAll();
    if (!collectRest(port, reply))
        return {SerialReading::Outcome::Unfinished, 0.0};
    return replyValue(reply);
}

// The outcomes as the I/O monitor names them.
const char *outcomeText(SerialWrite result)
{
    return result == SerialWrite::Written ? QT_TRANSLATE_NOOP("IoMonitor", "записано")
                                          : QT_TRANSLATE_NOOP("IoMonitor", "нет связи");
}

const char *outcomeText(SerialReading::Outcome outcome)
{
    switch (outcome) {
    case SerialReading::Outcome::Value:
        return QT_TRANSLATE_NOOP("IoMonitor", "значение");
    case SerialReading::Outcome::NoReply:
        return QT_TRANSLATE_NOOP("IoMonitor", "нет ответа");
    case SerialReading::Outcome::Garbled:
        return QT_TRANSLATE_NOOP("IoMonitor", "не число");
    case SerialReading::Outcome::Unfinished:
        return QT_TRANSLATE_NOOP("IoMonitor", "ответ не завершён");
    case SerialReading::Outcome::LinkBroken:
        return QT_TRANSLATE_NOOP("IoMonitor", "нет связи");
    }
    return "";
}

} // namespace

MultimeterConfiguration MultimeterConfiguration::dcVoltage()
{
    return {{"CONF:AUTO ON\n"}, "MEAS:VOLT:DC?\n"};
}

MultimeterConfiguration MultimeterConfiguration::acVoltage()
{
    return {{"CONF:AUTO ON\n"}, "MEAS:VOLT:AC? 100e-3,DEF\n"};
}

MultimeterConfiguration MultimeterConfiguration::dcCurrent()
{
    return {{"CONF:AUTO OFF\n", "CONF:CURR:DC MAX,DEF\n"}, "MEAS:CURR:DC? MAX,DEF\n"};
}

MultimeterConfiguration MultimeterConfiguration::acCurrent()
{
    return {{"CONF:AUTO OFF\n", "CONF:CURR:AC MAX,DEF\n"}, "MEAS:CURR:AC? MAX,DEF\n"};
}

bool openSerialLine(QSerialPort &port)
{
    port.setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return port.open(QIODevice::ReadWrite);
}

// Qt's port name drops the "/dev/" that says which "pts/0" is meant.
QString portLocation(const QSerialPort &port)
{
#ifdef Q_OS_WIN
    return port.portName();
#else
    const QString name = port.portName();
    return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
#endif
}

SerialWrite serialCommand(QSerialPort &port, const QByteArray &text)
{
    IoCall call(portLocation(port));
    const SerialWrite result = writeLine(port, text);
    call.sent = text;
    call.finishAs(outcomeText(result));
    return result;
}

SerialReading serialQuery(QSerialPort &port, const QByteArray &text)
{
    IoCall call(portLocation(port));
    QByteArray reply("");
    const SerialReading reading = exchange(port, text, reply);
    call.sent = text;
    call.received = reply;
    call.finishAs(outcomeText(reading.outcome));
    return reading;
}

InstrumentOpen openMultimeter(QSerialPort &port, const MultimeterConfiguration &configuration)
{
    if (!openSerialLine(port))
        return InstrumentOpen::CannotOpen;
    if (serialCommand(port, multimeterRemote) != SerialWrite::Written)
        return InstrumentOpen::LinkBroken;
    for (const QByteArray &command : configuration.commands)
        if (serialCommand(port, command) != SerialWrite::Written)
            return InstrumentOpen::LinkBroken;
    if (serialQuery(port, configuration.query).outcome == SerialReading::Outcome::LinkBroken)
        return InstrumentOpen::LinkBroken;
    delayMs(multimeterSettlingMs);
    return InstrumentOpen::Ready;
}

int serialReadingMs()
{
    return replyGapMs;
}

int multimeterOpeningMs()
{
    return serialReadingMs() + multimeterSettlingMs;
}

int loadOpeningMs()
{
    return int(loadOpening.size()) * loadCommandPauseMs;
}

InstrumentOpen openLoad(QSerialPort &port)
{
    if (!openSerialLine(port))
        return InstrumentOpen::CannotOpen;
    for (const QByteArray &command : loadOpening) {
        if (serialCommand(port, command) != SerialWrite::Written)
            return InstrumentOpen::LinkBroken;
        delayMs(loadCommandPauseMs);
    }
    return InstrumentOpen::Ready;
}

void releaseMultimeter(QSerialPort &port)
{
    if (!port.isOpen())
        return;
    serialCommand(port, multimeterLocal);
    port.close();
}

void releaseLoad(QSerialPort &port)
{
    if (!port.isOpen())
        return;
    serialCommand(port, loadUnlock);
    port.close();
}

QByteArray loadCommand(const char *format, double value)
{
    return QString::fromLatin1(format).arg(QString::number(value, 'g', 6)).toLatin1();
}
