#pragma once

#include <QByteArray>
#include <QtGlobal>

// The text that precedes the definite-length block of the module's two flash-writing
// commands. Spaces after the command word align the block data: they pad a measuring form of
// the header to a multiple of 4 bytes. The direct rewrite measures with an "L" after the
// address that the sent header lacks, so its header ends one byte short of a multiple of 4.
class BlockCommandHeader
{
public:
    // "FLASH:TEMP:WRITE2 <P>0x<offset>,<length>,#<d><length>"; always a multiple of 4 bytes.
    static QByteArray intermediateBlock(quint32 offset, quint32 length);
    // "FLASH:REWRITE2 <P>0x08000000,<length>,#<d><length>"; length modulo 4 is 3.
    static QByteArray directRewrite(quint32 length);
    // Spaces that bring a measuring header of measuredLength bytes to a multiple of 4.
    static int padding(int measuredLength);

private:
    static QByteArray build(const char *measuringFormat, const char *sentFormat, quint32 address,
                            quint32 length);
};
