#pragma once

#include <QByteArray>
#include <QtGlobal>

// Builds firmware images that look like STM32F4 application images: a Cortex-M vector table
// (initial stack pointer in the 128 KiB of CCM/SRAM at 0x10000000, Thumb handler addresses in
// the first 64 KiB of the main flash, reserved words 8 to 10 zero, most interrupt vectors
// pointing at one default handler) followed by pseudo-random "code" bytes. The same size and
// seed always give the same bytes, so tests can build image files and the bench's power-on
// firmware from it. Sizes above 1024 bytes pass the program's image test; smaller sizes are cut.
class SimFirmwareImage
{
public:
    static QByteArray generate(int size, quint32 seed);
};
