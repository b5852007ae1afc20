#include "blockcommandheader.h"

#include <cstdio>

namespace {
constexpr quint32 mainFlashBase = 0x08000000;
} // namespace

int BlockCommandHeader::padding(int measuredLength)
{
    static const int spaces[4] = {0, 3, 2, 1};
    return spaces[measuredLength % 4];
}

QByteArray BlockCommandHeader::build(const char *measuringFormat, const char *sentFormat,
                                     quint32 address, quint32 length)
{
    char lengthText[32];
    std::snprintf(lengthText, sizeof lengthText, "%lu", static_cast<unsigned long>(length));
    const int digits = int(qstrlen(lengthText));

    char header[256];
    const int measured = std::snprintf(header, sizeof header, measuringFormat, address, lengthText,
                                       digits, lengthText);
    const char *spaces = "   ";
    const char *pad = spaces + (3 - padding(measured));
    const int sent = std::snprintf(header, sizeof header, sentFormat, pad, address, lengthText,
                                   digits, lengthText);
    return QByteArray(header, sent);
}

QByteArray BlockCommandHeader::intermediateBlock(quint32 offset, quint32 length)
{
    return build("FLASH:TEMP:WRITE2 0x%08X,%s,#%d%s", "FLASH:TEMP:WRITE2 %s0x%08X,%s,#%d%s", offset,
                 length);
}

QByteArray BlockCommandHeader::directRewrite(quint32 length)
{
    return build("FLASH:REWRITE2 0x%08XL,%s,#%d%s", "FLASH:REWRITE2 %s0x%08X,%s,#%d%s",
                 mainFlashBase, length);
}
