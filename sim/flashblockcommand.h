#pragma once

#include <QByteArray>
#include <QtGlobal>

// The argument of the module's block-writing flash commands ("FLASH:TEMP:WRITE2" and
// "FLASH:REWRITE2"), read the way the module's firmware reads it: an address written as "0x"
// and exactly eight hexadecimal digits, a comma, the byte count in decimal, a comma, and a
// definite-length block whose announced count equals that byte count and which ends the
// argument. The padding spaces after the command word are the header's own white space. Any
// deviation rejects the whole command, so that a half-understood block never reaches the flash.
class FlashBlockCommand
{
public:
    static bool parse(const QByteArray &argument, FlashBlockCommand *command);

    quint32 address = 0;
    QByteArray data;
};
