#include "flashblockcommand.h"

#include "simdefiniteblock.h"

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

bool FlashBlockCommand::parse(const QByteArray &argument, FlashBlockCommand *command)
{
    if (argument.size() < 12 || !argument.startsWith("0x") || argument.at(10) != ',')
        return false;
    for (int i = 2; i < 10; ++i)
        if (!isHex(argument.at(i)))
            return false;
    const int lengthStart = 11;
    int i = lengthStart;
    while (i < argument.size() && argument.at(i) >= '0' && argument.at(i) <= '9')
        ++i;
    if (i == lengthStart || i - lengthStart > 9 || i >= argument.size() || argument.at(i) != ',')
        return false;
    const int length = argument.mid(lengthStart, i - lengthStart).toInt();
    int dataStart = 0;
    int dataLength = 0;
    if (SimDefiniteBlock::scan(argument, i + 1, &dataStart, &dataLength) !=
        SimDefiniteBlock::Scan::Ok)
        return false;
    if (dataLength != length || dataStart + dataLength != argument.size())
        return false;
    command->address = argument.mid(2, 8).toUInt(nullptr, 16);
    command->data = argument.mid(dataStart, dataLength);
    return true;
}
