#pragma once

#include <visa.h>

#include <QByteArray>

// IEEE 488.2 definite-length arbitrary blocks: "#", one digit d, the length in d decimal
// digits, then exactly that many bytes. The indefinite form "#0" is not accepted.
class DefiniteBlock
{
public:
    // "#" d length, e.g. "#44096" for 4096 bytes.
    static QByteArray header(quint64 length);

    // Sends commandText immediately followed by the block of data in one viWrite, with no
    // line feed after the data and the termination character off during the transfer.
    static ViStatus write(ViSession session, const QByteArray &commandText, const char *data,
                          quint64 size);

    // Reads a block reply in three steps ("#d", the d digits, the data) into data, which
    // receives at most maxLength bytes. Statuses of the reads are judged like viRead's: a
    // negative status ends the read with it; a malformed header (no "#", d not 1 to 9, a
    // non-digit in the length), an announced length above maxLength or fewer bytes than
    // announced end it with VI_ERROR_IO, VI_ERROR_INV_LENGTH or VI_ERROR_IO respectively.
    // The termination character is off during the read and on afterwards. The memory data
    // already holds is used again when the block fits in it; on failure data is empty.
    static ViStatus read(ViSession session, QByteArray &data, quint64 maxLength);

private:
    static ViStatus readInto(ViSession session, QByteArray &data, quint64 maxLength,
                             QByteArray &headerRead);

public:
    // Parses a header already read: "#" d and the d digits. False when malformed.
    static bool parseLengthDigits(const char *digits, int count, quint64 &length);
};
