#include "consoleexchange.h"

#include "definiteblock.h"
#include "iorecorder.h"

#include <QDateTime>

#include <cctype>

namespace {

// Whether one message unit ("VOLT? MAX", " OUTP 1") asks for a reply.
bool unitIsQuery(const QByteArray &unit)
{
    const QByteArray text = unit.trimmed();
    if (text.endsWith('?'))
        return true;
    int headerEnd = 0;
    while (headerEnd < text.size() && !std::isspace(static_cast<unsigned char>(text[headerEnd])))
        ++headerEnd;
    return headerEnd > 0 && text[headerEnd - 1] == '?';
}

QString durationText(qint64 durationUs)
{
    return QString::number(durationUs / 1000.0, 'f', 3);
}

} // namespace

bool ConsoleExchange::isQuery(const QByteArray &line)
{
    QByteArray unit;
    char quote = 0;
    for (const char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            unit += 'x'; // quoted text is no header and no terminator
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            unit += 'x';
        } else if (c == ';') {
            if (unitIsQuery(unit))
                return true;
            unit.clear();
        } else {
            unit += c;
        }
    }
    return unitIsQuery(unit);
}

bool ConsoleExchange::blockHeader(const QByteArray &reply, int &headerSize, qint64 &dataBytes)
{
    if (reply.size() < 2 || reply[0] != '#' || reply[1] < '1' || reply[1] > '9')
        return false;
    const int digits = reply[1] - '0';
    quint64 length = 0;
    if (reply.size() < 2 + digits ||
        !DefiniteBlock::parseLengthDigits(reply.constData() + 2, digits, length))
        return false;
    headerSize = 2 + digits;
    dataBytes = qint64(length);
    return true;
}

qint64 ConsoleExchange::blockRemainder(const QByteArray &reply)
{
    if (reply.isEmpty() || reply[0] != '#')
        return 0;
    // "#" and its digit count, then that many digits, may still be on their way.
    if (reply.size() < 2)
        return -1;
    const int digits = reply[1] - '0';
    if (digits >= 1 && digits <= 9 && reply.size() < 2 + digits)
        return -1;
    int headerSize = 0;
    qint64 dataBytes = 0;
    if (!blockHeader(reply, headerSize, dataBytes))
        return 0;
    return std::max<qint64>(0, headerSize + dataBytes - reply.size());
}

bool ConsoleExchange::isBlock() const
{
    int headerSize = 0;
    qint64 dataBytes = 0;
    return query && blockHeader(reply, headerSize, dataBytes) &&
           reply.size() >= headerSize + dataBytes;
}

QByteArray ConsoleExchange::blockData() const
{
    int headerSize = 0;
    qint64 dataBytes = 0;
    if (!isBlock() || !blockHeader(reply, headerSize, dataBytes))
        return QByteArray();
    return reply.mid(headerSize, int(dataBytes));
}

bool ConsoleExchange::linkLost() const
{
    const auto lost = [](ViStatus s) {
        return s == VI_ERROR_CONN_LOST || s == VI_ERROR_INV_OBJECT;
    };
    return !sessionOpen || lost(status) || (errorQueueRead && lost(errorStatus));
}

QString ConsoleExchange::text() const
{
    const QString indent(14, QLatin1Char(' '));
    QString first =
        QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).toString(QStringLiteral("HH:mm:ss.zzz")) +
        (query ? QStringLiteral("  ⇄ ") : QStringLiteral("  → ")) +
        QString::fromLatin1(IoRecorder::escaped(sent));
    if (query) {
        first += QStringLiteral("  ⇒  ");
        int headerSize = 0;
        qint64 dataBytes = 0;
        if (isBlock() && blockHeader(reply, headerSize, dataBytes))
            first += tr("блок: заголовок %1, длина %2 байт")
                         .arg(QString::fromLatin1(reply.left(headerSize)))
                         .arg(dataBytes);
        else
            first += QString::fromLatin1(IoRecorder::escaped(reply)) +
                     (replyCut ? QStringLiteral("…") : QString());
    }
    QString lines = first + QLatin1Char('\n') + indent +
                    (status < VI_SUCCESS ? tr("ошибка: ") : QString()) +
                    IoRecorder::statusText(status) + tr(", %1 мс").arg(durationText(durationUs));
    if (errorQueueRead)
        lines += QLatin1Char('\n') + indent + QStringLiteral("*ERR?  ⇒  ") +
                 (errorStatus < VI_SUCCESS ? tr("ошибка: ") + IoRecorder::statusText(errorStatus)
                                           : QString::fromLatin1(IoRecorder::escaped(errorReply)));
    return lines;
}
