// Definite-length arbitrary blocks as they arrive inside a message: the first byte is where
// the block starts.
#include "simdefiniteblock.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), int(size - 1));
    const int from = data[0] % (bytes.size() + 1);
    int start = -1, length = -1;
    if (SimDefiniteBlock::scan(bytes, from, &start, &length) == SimDefiniteBlock::Scan::Ok) {
        // A block found lies inside the message, and encoding its data gives it back.
        if (start < from || length < 0 || qint64(start) + length > bytes.size())
            std::abort();
        const QByteArray data = bytes.mid(start, length);
        const QByteArray block = SimDefiniteBlock::encode(data);
        int again = -1, againLength = -1;
        if (SimDefiniteBlock::scan(block, 0, &again, &againLength) != SimDefiniteBlock::Scan::Ok ||
            block.mid(again, againLength) != data)
            std::abort();
    }
    return 0;
}
