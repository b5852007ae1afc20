#pragma once

#include <QByteArray>
#include <QtGlobal>

// The module's flash as one address space: the running firmware in the main flash at
// 0x08000000 (640 KiB) and the intermediate area right after it at 0x080A0000 (384 KiB), as on
// a 1 MiB STM32F4 part. Erased flash reads 0xFF. Programming can only clear bits, as on the
// real part, so data written over an area that was not erased comes out as the AND of old and
// new bytes. The commands that replace the firmware erase the main flash first. The
// intermediate area consists of three 128 KiB sectors; erasing any part of a sector erases
// all of it, so a block that runs past the erased length still lands on erased cells.
class FlashMemory
{
public:
    static constexpr quint32 mainBase = 0x08000000;
    static constexpr quint32 mainSize = 640 * 1024;
    static constexpr quint32 intermediateBase = 0x080A0000;
    static constexpr quint32 intermediateSize = 384 * 1024;
    static constexpr quint32 sectorSize = 128 * 1024;

    FlashMemory();

    // Erases the main flash and programs image at its start (test set-up and power-on image).
    bool loadMain(const QByteArray &image);
    // Erases the sectors of the intermediate area that hold its first length bytes.
    bool eraseIntermediate(quint32 length);
    // Programs data at offset of the intermediate area.
    bool programIntermediate(quint32 offset, const QByteArray &data);
    // Erases the main flash and copies the first length bytes of the intermediate area into it.
    bool copyIntermediateToMain(quint32 length);
    // Reads length bytes at an absolute address; false outside the flash.
    bool read(quint32 address, quint32 length, QByteArray *data) const;

    QByteArray mainFlash() const { return memory.left(int(mainSize)); }
    QByteArray intermediateArea() const { return memory.mid(int(mainSize)); }

private:
    QByteArray memory;
};
