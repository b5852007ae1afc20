#pragma once

#include <QByteArray>

// Bit by bit, without a table: the plain definition of the IEEE 802.3 CRC-32, to check the
// program's table-driven one against.
inline quint32 referenceCrc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}
