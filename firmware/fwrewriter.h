#pragma once

#include "firmwarelog.h"

#include <visa.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>

class ModuleSession;

// Carries a firmware image file into an RVKA5630 module's flash over the panel's session.
// The module runs its firmware from the main flash at 0x08000000 and offers an intermediate
// area at 0x080A0000: the image is written there block by block, each block read back, and
// then the module copies the area over its firmware and restarts. A module that refuses the
// intermediate area gets the whole image in one direct rewrite command instead.
//
// Progress goes to the caller's log as operator messages. Statuses follow the flash rule:
// only negative ones fail, except where a step says otherwise. The rewriter has no lock of its
// own; one thread at a time uses it (and the session while it runs).
class FwRewriter
{
    Q_DECLARE_TR_FUNCTIONS(FwRewriter)

public:
    static constexpr quint32 mainFlashBase = 0x08000000;
    static constexpr quint32 intermediateBase = 0x080A0000;
    static constexpr quint32 blockSize = 4096;
    static constexpr quint32 eraseGranule = 1024;
    // The main flash ends where the intermediate area begins: no larger image can be firmware.
    static constexpr quint32 largestImage = intermediateBase - mainFlashBase;
    // Reads of the error queue before the erase; the module's queue holds far fewer entries.
    static constexpr int errorQueueReads = 32;

    // Reads the whole file (name in UTF-8) into memory; the file stays open for the
    // rewriter's lifetime. Every call goes to the session the module panel holds at that
    // moment, so a comparison after the module's restart reads through the reopened one.
    FwRewriter(ModuleSession &session, const QByteArray &fileName, FirmwareLog &log);
    ~FwRewriter();
    FwRewriter(const FwRewriter &) = delete;
    FwRewriter &operator=(const FwRewriter &) = delete;

    // False when the file could not be read whole or cannot be firmware (empty, or larger than
    // the main flash); loadError() then says why, for the operator.
    bool isLoaded() const { return loaded; }
    QString loadError() const { return error; }
    quint32 imageSize() const { return size; }

    // Whether the image looks like an STM32F4 application (its Cortex-M vector table).
    bool isStm32F4Image() const;
    // True when the module's main flash holds exactly the image.
    bool compareWithFlash();
    // The whole rewrite; true when the module has been told to take the new firmware.
    bool rewrite();

    // One intermediate-area block with its read-back check: 0, the failed write's status or -1.
    ViStatus writeTempBlock(quint32 offset, quint32 length);
    // The image, padded to length, in one "FLASH:REWRITE2"; the write's status.
    ViStatus rewriteDirect(quint32 length);
    // One "MEMREAD?" into buffer (length bytes, zeroed first); count receives the data bytes read.
    ViStatus readMemory(quint32 address, quint32 length, char *buffer, ViUInt32 &count);
    // Reads length bytes at address and compares them with data; a reply with fewer bytes than
    // asked is a failed read.
    bool compareMemory(const char *data, quint32 address, quint32 length);

private:
    void load(const QString &fileName);
    quint32 roundedSize() const;
    bool emptyErrorQueue();
    QByteArray imageSpan(quint32 offset, quint32 length) const;
    ViStatus sendBlockCommand(const QByteArray &header, const QByteArray &data);
    // headerRead receives the block header's bytes as they came, for the I/O record.
    ViStatus readBlockReply(quint32 length, char *buffer, ViUInt32 &count,
                            QByteArray &headerRead);
    ViStatus discardSurplus(ViUInt32 surplus);
    void note(const QByteArray &message);
    void noteStatus(ViStatus status);
    ViSession vi() const;

    ModuleSession &link;
    FirmwareLog &log;
    QFile imageFile;
    quint32 size = 0;
    QByteArray image;
    bool loaded = false;
    QString error;
};
