#include "definiteblock.h"

#include "iorecorder.h"
#include "termcharscope.h"

QByteArray DefiniteBlock::header(quint64 length)
{
    const QByteArray digits = QByteArray::number(length);
    return '#' + QByteArray::number(digits.size()) + digits;
}

ViStatus DefiniteBlock::write(ViSession session, const QByteArray &commandText, const char *data,
                              quint64 size)
{
    QByteArray buffer = commandText + header(size);
    const int textLength = buffer.size();
    buffer.append(data, int(size));
    TermCharScope binary(session);
    ViUInt32 written = 0;
    IoCall call(session);
    const ViStatus status = viWrite(session, reinterpret_cast<ViConstBuf>(buffer.constData()),
                                    ViUInt32(buffer.size()), &written);
    call.sent = buffer.left(textLength);
    call.blockBytes = qint64(size);
    call.finish(status);
    return status;
}

bool DefiniteBlock::parseLengthDigits(const char *digits, int count, quint64 &length)
{
    length = 0;
    for (int i = 0; i < count; ++i) {
        if (digits[i] < '0' || digits[i] > '9')
            return false;
        length = length * 10 + quint64(digits[i] - '0');
    }
    return count > 0;
}

ViStatus DefiniteBlock::read(ViSession session, QByteArray &data, quint64 maxLength)
{
    IoCall call(session);
    call.received = "";
    ViStatus status = readInto(session, data, maxLength, call.received);
    if (status < VI_SUCCESS)
        data.clear();
    else
        call.blockBytes = data.size();
    call.finish(status);
    return status;
}

ViStatus DefiniteBlock::readInto(ViSession session, QByteArray &data, quint64 maxLength,
                                 QByteArray &headerRead)
{
    TermCharScope binary(session);
    char start[2] = {};
    ViUInt32 count = 0;
    ViStatus status = viRead(session, reinterpret_cast<ViPBuf>(start), 2, &count);
    if (status < VI_SUCCESS)
        return status;
    headerRead.append(start, int(qMin<ViUInt32>(count, 2)));
    if (count != 2 || start[0] != '#' || start[1] < '1' || start[1] > '9')
        return VI_ERROR_IO;
    const int digitCount = start[1] - '0';
    char digits[9] = {};
    status = viRead(session, reinterpret_cast<ViPBuf>(digits), ViUInt32(digitCount), &count);
    if (status < VI_SUCCESS)
        return status;
    headerRead.append(digits, int(qMin<ViUInt32>(count, ViUInt32(digitCount))));
    quint64 length = 0;
    if (count != ViUInt32(digitCount) || !parseLengthDigits(digits, digitCount, length))
        return VI_ERROR_IO;
    if (length > maxLength)
        return VI_ERROR_INV_LENGTH;
    // The data go straight into data, which the read fills: no zeros first. A buffer of the
    // caller's with room enough is used again; a smaller or shared one is dropped, not copied.
    if (length == 0 || !data.isDetached() || quint64(data.capacity()) < length)
        data.clear();
    if (length == 0)
        return status;
    data.resize(int(length));
    status = viRead(session, reinterpret_cast<ViPBuf>(data.data()), ViUInt32(length), &count);
    if (status < VI_SUCCESS)
        return status;
    if (count != length)
        return VI_ERROR_IO;
    return status;
}
