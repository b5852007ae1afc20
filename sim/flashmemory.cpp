#include "flashmemory.h"

FlashMemory::FlashMemory() : memory(int(mainSize + intermediateSize), char(0xFF)) {}

bool FlashMemory::loadMain(const QByteArray &image)
{
    if (quint32(image.size()) > mainSize)
        return false;
    memory.replace(0, int(mainSize), QByteArray(int(mainSize), char(0xFF)));
    memory.replace(0, image.size(), image);
    return true;
}

bool FlashMemory::eraseIntermediate(quint32 length)
{
    if (length > intermediateSize)
        return false;
    const quint32 sectors = (length + sectorSize - 1) / sectorSize * sectorSize;
    memory.replace(int(mainSize), int(sectors), QByteArray(int(sectors), char(0xFF)));
    return true;
}

bool FlashMemory::programIntermediate(quint32 offset, const QByteArray &data)
{
    if (offset > intermediateSize || quint32(data.size()) > intermediateSize - offset)
        return false;
    char *cells = memory.data() + mainSize + offset;
    for (int i = 0; i < data.size(); ++i)
        cells[i] = char(cells[i] & data.at(i));
    return true;
}

bool FlashMemory::copyIntermediateToMain(quint32 length)
{
    if (length > intermediateSize || length > mainSize)
        return false;
    return loadMain(memory.mid(int(mainSize), int(length)));
}

bool FlashMemory::read(quint32 address, quint32 length, QByteArray *data) const
{
    const quint64 end = quint64(mainBase) + mainSize + intermediateSize;
    if (address < mainBase || quint64(address) + length > end)
        return false;
    *data = memory.mid(int(address - mainBase), int(length));
    return true;
}
