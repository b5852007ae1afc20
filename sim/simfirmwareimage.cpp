#include "simfirmwareimage.h"

#include <QtEndian>

#include <random>

namespace {

constexpr int vectorWords = 106; // 16 system vectors and 90 interrupt vectors
constexpr int defaultHandlerUses = 60;

} // namespace

QByteArray SimFirmwareImage::generate(int size, quint32 seed)
{
    std::mt19937 random(seed);
    const int length = qMax(size, 0);
    QByteArray image(qMax(length, vectorWords * 4), '\0');
    uchar *bytes = reinterpret_cast<uchar *>(image.data());
    for (int i = vectorWords * 4; i < image.size(); ++i)
        bytes[i] = uchar(random());

    auto handler = [&random]() { return 0x08000200u + ((random() % 0x7000u) & ~1u) + 1u; };
    quint32 words[vectorWords] = {};
    words[0] = 0x10000000u + 0x400u * (1u + random() % 128u); // top of a stack in CCM RAM
    for (int k = 1; k <= 7; ++k)
        words[k] = handler();
    words[11] = handler();
    words[12] = handler();
    words[14] = handler();
    words[15] = handler();
    const quint32 defaultHandler = handler();
    // Peripherals without a driver share the default handler; a few are unused (zero).
    for (int k = 16; k < vectorWords; ++k)
        words[k] = (k - 16) < defaultHandlerUses ? defaultHandler : handler();
    for (int k = 16 + defaultHandlerUses; k < vectorWords; k += 7)
        words[k] = 0;
    for (int k = 0; k < vectorWords; ++k)
        qToLittleEndian(words[k], bytes + 4 * k);
    image.truncate(length);
    return image;
}
