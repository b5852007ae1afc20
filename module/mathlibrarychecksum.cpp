#include "mathlibrarychecksum.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <memory>
#include <new>

namespace {

// Zero bytes past the file's end: the number after a marker at the very end stops there.
const qint64 bufferSlack = 8;

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// strtoul(text, &end, 16) as the program's Windows runtime reads it, whatever the width of the
// host's unsigned long: 32 bits, so a larger magnitude reads as 0xFFFFFFFF; a minus sign
// negates modulo 2^32; C-locale white space; nothing read leaves end at text. The text must be
// zero-terminated.
quint32 readHexNumber(char *text, char **end)
{
    char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexDigitValue(p[2]) >= 0)
        p += 2;
    const char *const digits = p;
    quint64 magnitude = 0;
    for (int digit; (digit = hexDigitValue(*p)) >= 0; ++p)
        magnitude = std::min<quint64>(magnitude * 16 + digit, quint64(1) << 32);
    if (p == digits) {
        *end = text;
        return 0;
    }
    *end = p;
    if (magnitude > 0xFFFFFFFFu)
        return 0xFFFFFFFFu;
    return negative ? 0u - quint32(magnitude) : quint32(magnitude);
}

} // namespace

MathLibraryChecksum::Result MathLibraryChecksum::check(const QString &filePath)
{
    Result result;
    QFile file(filePath);
    if (!file.exists())
        return result;

    result.outcome = Outcome::Unreadable;
    const qint64 size = file.size();
    if (!file.open(QIODevice::ReadOnly))
        return result;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + bufferSlack]());
    if (!buffer || file.read(buffer.get(), size) != size)
        return result;

    result.outcome = Outcome::Computed;
    result.markerFound = takeRequiredChecksum(buffer.get(), size, &result.required);
    result.computed = crc32(buffer.get(), size);
    result.details = details(result.computed, result.required);
    return result;
}

QByteArray MathLibraryChecksum::checksumMarker()
{
    return QByteArrayLiteral("\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9"
                             "CRC32=");
}

// The number after the first marker is the required checksum; its text, from just after the
// marker to its last digit, becomes "0" characters, as it read when the file was stamped.
bool MathLibraryChecksum::takeRequiredChecksum(char *buffer, qint64 size, quint32 *required)
{
    const QByteArray marker = checksumMarker();
    char *const fileEnd = buffer + size;
    char *const found = std::search(buffer, fileEnd, marker.cbegin(), marker.cend());
    if (found == fileEnd) {
        *required = 0;
        return false;
    }
    char *const number = found + marker.size();
    char *numberEnd = number;
    *required = readHexNumber(number, &numberEnd);
    std::fill(number, numberEnd, '0');
    return true;
}

quint32 MathLibraryChecksum::crc32(const char *data, qint64 size)
{
    std::array<quint32, 256> table;
    for (quint32 n = 0; n < table.size(); ++n) {
        quint32 c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    quint32 crc = 0xFFFFFFFFu;
    for (qint64 i = 0; i < size; ++i)
        crc = table[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

QString MathLibraryChecksum::details(quint32 computed, quint32 required)
{
    return tr("Контрольная сумма файла: %1\nТребуемая контрольная сумма: %2\n")
        .arg(QString::number(computed, 16).toUpper(), QString::number(required, 16).toUpper());
}
