#include "benchrvka5630device.h"

#include "simdefiniteblock.h"

DeviceResponse BenchRvka5630Device::execute(const QByteArray &message)
{
    static const QByteArray query = "BENCH:BLOCK? ";
    if (!message.startsWith(query))
        return Rvka5630Device::execute(message);
    bool number = false;
    const int bytes = message.mid(query.size()).trimmed().toInt(&number);
    if (!number || bytes < 1 || bytes > maxBlockBytes)
        return Rvka5630Device::execute(message);
    std::lock_guard<std::mutex> guard(lock);
    if (bytes != blockBytes) {
        QByteArray data(bytes, Qt::Uninitialized);
        for (int i = 0; i < bytes; ++i)
            data[i] = char(i * 7);
        block = SimDefiniteBlock::encode(data);
        blockBytes = bytes;
    }
    return {block, 0};
}
