#include "iorecorder.h"

#include <QDateTime>

#include <algorithm>
#include <cctype>
#include <cstring>

IoRecorder &IoRecorder::instance()
{
    static IoRecorder recorder;
    return recorder;
}

IoRecorder::IoRecorder()
{
    ring.resize(capacity);
}

namespace {
quint8 keep(const QByteArray &text, char (&into)[IoRecorder::textBytes], bool &cut)
{
    const int length = std::min(text.size(), IoRecorder::textBytes);
    std::memcpy(into, text.constData(), std::size_t(length));
    cut = length < text.size();
    return quint8(length);
}
} // namespace

int IoRecorder::instrumentIndex(const QString &instrument)
{
    const auto known = instrumentIndexes.constFind(instrument);
    if (known != instrumentIndexes.cend())
        return *known;
    instruments.append(instrument);
    instrumentIndexes.insert(instrument, instruments.size() - 1);
    return instruments.size() - 1;
}

void IoRecorder::record(IoExchange exchange)
{
    std::lock_guard<std::mutex> guard(lock);
    newest = (newest + 1) % capacity;
    held = std::min(held + 1, capacity);
    Slot &slot = ring[std::size_t(newest)];
    slot.number = ++lastNumber;
    slot.msecsSinceEpoch = exchange.msecsSinceEpoch;
    slot.durationUs = exchange.durationUs;
    slot.blockBytes = exchange.blockBytes;
    slot.outcome = exchange.outcome;
    slot.status = exchange.status;
    slot.instrument = instrumentIndex(exchange.instrument);
    slot.direction = quint8(exchange.direction);
    slot.fromConsole = exchange.fromConsole;
    slot.sentLength = keep(exchange.sent, slot.sent, slot.sentCut);
    slot.receivedLength = keep(exchange.received, slot.received, slot.receivedCut);
    slot.sentCut = slot.sentCut || exchange.sentCut;
    slot.receivedCut = slot.receivedCut || exchange.receivedCut;
}

IoExchange IoRecorder::exchangeOf(const Slot &slot) const
{
    IoExchange exchange;
    exchange.number = slot.number;
    exchange.msecsSinceEpoch = slot.msecsSinceEpoch;
    exchange.durationUs = slot.durationUs;
    exchange.blockBytes = slot.blockBytes;
    exchange.outcome = slot.outcome;
    exchange.status = slot.status;
    exchange.instrument = instruments.value(slot.instrument);
    exchange.direction = IoExchange::Direction(slot.direction);
    exchange.fromConsole = slot.fromConsole;
    using Direction = IoExchange::Direction;
    if (exchange.direction != Direction::Received)
        exchange.sent = QByteArray(slot.sent, slot.sentLength);
    if (exchange.direction != Direction::Sent)
        exchange.received = QByteArray(slot.received, slot.receivedLength);
    exchange.sentCut = slot.sentCut;
    exchange.receivedCut = slot.receivedCut;
    return exchange;
}

QVector<IoExchange> IoRecorder::since(quint64 after) const
{
    std::lock_guard<std::mutex> guard(lock);
    QVector<IoExchange> newer;
    if (held == 0)
        return newer;
    // The ring holds consecutive numbers: the oldest is lastNumber - held + 1.
    const quint64 oldest = lastNumber - quint64(held) + 1;
    const quint64 first = std::max(after + 1, oldest);
    if (first > lastNumber)
        return newer;
    const int count = int(lastNumber - first + 1);
    newer.reserve(count);
    // Once full, the oldest slot is the one after the newest.
    const int start = held < capacity ? 0 : (newest + 1) % capacity;
    for (int i = held - count; i < held; ++i)
        newer.append(exchangeOf(ring[std::size_t((start + i) % held)]));
    return newer;
}

void IoRecorder::clear()
{
    std::lock_guard<std::mutex> guard(lock);
    held = 0;
    newest = -1;
}

int IoRecorder::size() const
{
    std::lock_guard<std::mutex> guard(lock);
    return held;
}

void IoRecorder::setEnabled(bool on)
{
    recording.store(on, std::memory_order_relaxed);
}

void IoRecorder::nameSession(ViSession session, const QString &resource)
{
    std::lock_guard<std::mutex> guard(lock);
    sessionNames.insert(session, resource);
}

void IoRecorder::forgetSession(ViSession session)
{
    std::lock_guard<std::mutex> guard(lock);
    sessionNames.remove(session);
}

QString IoRecorder::instrumentOf(ViSession session) const
{
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto named = sessionNames.constFind(session);
        if (named != sessionNames.cend())
            return *named;
    }
    char name[256] = {};
    if (viGetAttribute(session, VI_ATTR_RSRC_NAME, name) < VI_SUCCESS)
        return QStringLiteral("VISA %1").arg(session);
    name[sizeof name - 1] = '\0';
    return QString::fromLatin1(name);
}

QByteArray IoRecorder::escaped(const QByteArray &bytes)
{
    QByteArray text;
    text.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\t': text += "\\t"; break;
        case '\\': text += "\\\\"; break;
        default:
            if (byte < 0x20 || byte == 0x7f)
                text += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
            else
                text += c;
        }
    }
    return text;
}

QByteArray IoRecorder::valuesRead(const char *readFormat, va_list outputs)
{
    va_list walk;
    va_copy(walk, outputs);
    QByteArray values;
    for (const char *f = readFormat; *f; ++f) {
        if (*f != '%')
            continue;
        if (*++f == '%')
            continue;
        while (std::isdigit(static_cast<unsigned char>(*f)) || *f == '-' || *f == '+' ||
               *f == '#' || *f == ' ' || *f == '.')
            ++f;
        char size = 0;
        if (*f == 'h' || *f == 'l' || *f == 'L')
            size = *f++;
        if (*f == 'l')
            ++f; // "ll" reads as "l" here: the program reads no 64-bit integers
        if (!values.isEmpty())
            values += ',';
        switch (*f) {
        case 'f': case 'e': case 'g': case 'E': case 'G':
            values += size == 'l' || size == 'L'
                          ? QByteArray::number(*va_arg(walk, double *), 'g', 15)
                          : QByteArray::number(double(*va_arg(walk, float *)), 'g', 7);
            break;
        case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
            if (size == 'h')
                values += QByteArray::number(*va_arg(walk, short *));
            else if (size == 'l')
                values += QByteArray::number(qlonglong(*va_arg(walk, long *)));
            else
                values += QByteArray::number(*va_arg(walk, int *));
            break;
        case 's': case 't': case 'T': case 'c':
            values += va_arg(walk, char *);
            break;
        default:
            // A conversion this walk does not know: what follows cannot be told apart.
            values += '?';
            va_end(walk);
            return values;
        }
        if (!*f)
            break;
    }
    va_end(walk);
    return values;
}

QString IoRecorder::statusText(ViStatus status)
{
    if (status == VI_SUCCESS)
        return QStringLiteral("VI_SUCCESS");
    const QString code = QStringLiteral("0x%1").arg(quint32(status), 8, 16, QLatin1Char('0'));
    char description[256] = {};
    if (viStatusDesc(VI_NULL, status, description) < VI_SUCCESS)
        return code;
    description[sizeof description - 1] = '\0';
    return code + QLatin1Char(' ') + QString::fromLatin1(description);
}

IoCall::IoCall(ViSession session) : recording(IoRecorder::instance().enabled()), vi(session)
{
    if (recording) {
        startedMs = QDateTime::currentMSecsSinceEpoch();
        started = std::chrono::steady_clock::now();
    }
}

IoCall::IoCall(const QString &instrument) : IoCall(ViSession(VI_NULL))
{
    name = instrument;
}

void IoCall::finish(ViStatus status)
{
    finishWith(status, nullptr);
}

void IoCall::finishAs(const char *outcome)
{
    finishWith(VI_SUCCESS, outcome);
}

void IoCall::finishWith(ViStatus status, const char *outcome)
{
    if (!recording)
        return;
    recording = false;
    IoExchange exchange;
    exchange.msecsSinceEpoch = startedMs;
    exchange.durationUs = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - started)
                              .count();
    exchange.instrument = name.isEmpty() ? IoRecorder::instance().instrumentOf(vi) : name;
    exchange.direction = received.isNull() ? IoExchange::Direction::Sent
                         : sent.isNull()   ? IoExchange::Direction::Received
                                           : IoExchange::Direction::Query;
    exchange.sent = std::move(sent);
    exchange.received = std::move(received);
    exchange.blockBytes = blockBytes;
    exchange.fromConsole = fromConsole;
    exchange.status = status;
    exchange.outcome = outcome;
    IoRecorder::instance().record(std::move(exchange));
}
