#include "simdefiniteblock.h"

QByteArray SimDefiniteBlock::encode(const QByteArray &data)
{
    const QByteArray length = QByteArray::number(data.size());
    return '#' + QByteArray::number(length.size()) + length + data;
}

SimDefiniteBlock::Scan SimDefiniteBlock::scan(const QByteArray &bytes, int from, int *dataStart,
                                              int *dataLength)
{
    if (from + 1 >= bytes.size() || bytes.at(from) != '#')
        return Scan::NotABlock;
    const char digitCount = bytes.at(from + 1);
    if (digitCount == '0')
        return Scan::Indefinite;
    if (digitCount < '1' || digitCount > '9')
        return Scan::NotABlock;
    const int d = digitCount - '0';
    const int digitsStart = from + 2;
    if (digitsStart + d > bytes.size())
        return Scan::Malformed;
    qint64 length = 0;
    for (int i = 0; i < d; ++i) {
        const char c = bytes.at(digitsStart + i);
        if (c < '0' || c > '9')
            return Scan::Malformed;
        length = length * 10 + (c - '0');
    }
    const qint64 start = digitsStart + d;
    if (start + length > bytes.size())
        return Scan::Truncated;
    if (dataStart)
        *dataStart = int(start);
    if (dataLength)
        *dataLength = int(length);
    return Scan::Ok;
}
