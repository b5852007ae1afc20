#include "fwrewriter.h"

#include "blockcommandheader.h"
#include "commandchain.h"
#include "definiteblock.h"
#include "errorquery.h"
#include "iorecorder.h"
#include "modulesession.h"
#include "termcharscope.h"
#include "timefacility.h"

#include <QDebug>
#include <QHash>
#include <QtEndian>

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Set before every block write and left in force on the session afterwards.
constexpr ViUInt32 blockWriteTimeoutMs = 2000;
constexpr int eraseWaitMs = 3000;
constexpr int restartWaitMs = 5000;

// The update's progress dialog shows the latest note and translates it in its own context;
// a note with numbers in it is translated here, before they go in.
constexpr char ioError[] = QT_TRANSLATE_NOOP("FirmwareUpdate", "Ошибка ввода/вывода!");
constexpr char blockWriteError[] =
    QT_TRANSLATE_NOOP("FirmwareUpdate", "Ошибка записи в промежуточное РПЗУ.");

// The module programs a block at about 16 KiB per second, plus 100 ms of its own per block.
int blockProgrammingMs(quint32 length)
{
    return int(((length * 1000u) >> 14) + 100u);
}

} // namespace

FwRewriter::FwRewriter(ModuleSession &session, const QByteArray &fileName, FirmwareLog &log)
    : link(session), log(log)
{
    // The process-wide C locale is left alone: on another thread it would turn the decimal
    // point of every "VOLT %lf" into a comma. The rewriter formats integers and hexadecimal
    // only, which no locale changes.
    load(QString::fromUtf8(fileName));
}

FwRewriter::~FwRewriter()
{
    qDebug("~FwRewriter");
}

ViSession FwRewriter::vi() const
{
    return link.vi();
}

void FwRewriter::load(const QString &fileName)
{
    imageFile.setFileName(fileName);
    if (!imageFile.open(QIODevice::ReadOnly)) {
        error = tr("Не удалось открыть файл прошивки.");
        return;
    }
    const qint64 fileSize = imageFile.size();
    // Refused before anything is sent: an empty image would erase the running firmware and
    // leave nothing in its place.
    if (fileSize == 0) {
        error = tr("Файл прошивки пуст.");
        return;
    }
    if (fileSize > largestImage) {
        error = tr("Файл слишком велик (%1 байт): основное РПЗУ инструмента вмещает не более "
                   "%2 байт.")
                    .arg(fileSize)
                    .arg(largestImage);
        return;
    }
    try {
        image = QByteArray(int(fileSize), Qt::Uninitialized);
    } catch (const std::bad_alloc &) {
        image.clear();
        error = tr("Файл слишком велик (%1 байт): его нельзя загрузить в память.").arg(fileSize);
        return;
    }
    qint64 done = 0;
    while (done < fileSize) {
        const qint64 got = imageFile.read(image.data() + done, fileSize - done);
        if (got <= 0)
            break;
        done += got;
    }
    if (done != fileSize) {
        image.clear();
        error = tr("Не удалось прочитать файл прошивки.");
        return;
    }
    size = quint32(fileSize);
    loaded = true;
}

void FwRewriter::note(const QByteArray &message)
{
    log.append(message);
}

void FwRewriter::noteStatus(ViStatus status)
{
    ViChar description[256] = {};
    viStatusDesc(vi(), status, description);
    description[sizeof description - 1] = '\0';
    note(QByteArray(description));
}

quint32 FwRewriter::roundedSize() const
{
    return (size + eraseGranule - 1) / eraseGranule * eraseGranule;
}

QByteArray FwRewriter::imageSpan(quint32 offset, quint32 length) const
{
    // Beyond the image the block carries the erased-flash value, so nothing is programmed there.
    QByteArray span(int(length), char(0xFF));
    if (offset < size)
        std::memcpy(span.data(), image.constData() + offset, qMin(length, size - offset));
    return span;
}

bool FwRewriter::isStm32F4Image() const
{
    if (size <= 1024)
        return false;
    const uchar *bytes = reinterpret_cast<const uchar *>(image.constData());
    auto word = [bytes](int k) { return qFromLittleEndian<quint32>(bytes + 4 * k); };

    // Reserved vector-table entries.
    if (word(8) != 0 || word(9) != 0 || word(10) != 0)
        return false;
    // The initial stack pointer lies in CCM RAM.
    if (word(0) - 0x10000000u > 0x20000u)
        return false;
    // Interrupt vectors point into the first 64 KiB of flash; most peripherals share one
    // default handler.
    QHash<quint32, int> uses;
    for (int k = 16; k <= 105; ++k) {
        const quint32 vector = word(k);
        if (vector == 0)
            continue;
        auto seen = uses.find(vector);
        if (seen == uses.end()) {
            if (vector - mainFlashBase > 0x10000u)
                return false;
            seen = uses.insert(vector, 0);
        }
        ++seen.value();
    }
    for (int count : qAsConst(uses))
        if (count > 30)
            return true;
    return false;
}

ViStatus FwRewriter::sendBlockCommand(const QByteArray &header, const QByteArray &data)
{
    const QByteArray message = header + data;
    viSetAttribute(vi(), VI_ATTR_TMO_VALUE, blockWriteTimeoutMs);
    ViStatus status = VI_SUCCESS;
    {
        TermCharScope binary(vi());
        ViUInt32 written = 0;
        IoCall call(vi());
        status = viWrite(vi(), reinterpret_cast<ViConstBuf>(message.constData()),
                         ViUInt32(message.size()), &written);
        call.sent = header;
        call.blockBytes = data.size();
        call.finish(status);
    }
    if (status != VI_SUCCESS)
        noteStatus(status);
    return status;
}

ViStatus FwRewriter::writeTempBlock(quint32 offset, quint32 length)
{
    const QByteArray block = imageSpan(offset, length);
    note(QCoreApplication::translate("FirmwareUpdate",
                                     "Запись в промежуточное РПЗУ %1 байт по смещению %2...")
             .arg(length)
             .arg(QString::number(offset, 16).toUpper().rightJustified(8, QLatin1Char('0')))
             .toUtf8());

    const ViStatus written =
        sendBlockCommand(BlockCommandHeader::intermediateBlock(offset, length), block);
    if (written != VI_SUCCESS) {
        note(blockWriteError);
        return written;
    }
    TimeFacility::instance().sleep(blockProgrammingMs(length));

    // A failed query leaves the zeroed reply, which reads as an error.
    char reply[256];
    ErrorQuery::query(vi(), reply);
    if (!ErrorQuery::isNoError(reply)) {
        note(blockWriteError);
        return -1;
    }
    return compareMemory(block.constData(), intermediateBase + offset, length) ? VI_SUCCESS : -1;
}

ViStatus FwRewriter::rewriteDirect(quint32 length)
{
    return sendBlockCommand(BlockCommandHeader::directRewrite(length), imageSpan(0, length));
}

ViStatus FwRewriter::readMemory(quint32 address, quint32 length, char *buffer, ViUInt32 &count)
{
    count = 0;
    // Drops whatever an earlier exchange left in the module's output.
    viClear(vi());
    IoCall request(vi());
    const ViStatus sent = viPrintf(vi(), "MEMREAD? 0x%08X,0x%08X\n", address, length);
    request.sent = QString::asprintf("MEMREAD? 0x%08X,0x%08X\n", address, length).toLatin1();
    request.finish(sent);
    if (sent != VI_SUCCESS)
        return VI_ERROR_BERR;
    std::memset(buffer, 0, length);
    TermCharScope binary(vi());
    IoCall reply(vi());
    reply.received = "";
    const ViStatus status = readBlockReply(length, buffer, count, reply.received);
    reply.blockBytes = count;
    reply.finish(status);
    return status;
}

ViStatus FwRewriter::readBlockReply(quint32 length, char *buffer, ViUInt32 &count,
                                    QByteArray &headerRead)
{
    char header[256] = {};
    ViUInt32 got = 0;
    ViStatus status = viRead(vi(), reinterpret_cast<ViPBuf>(header), 2, &got);
    headerRead = QByteArray(header, int(qMin<ViUInt32>(got, 2)));
    if (status < VI_SUCCESS || got < 2)
        return status;
    if (header[0] != '#')
        return VI_ERROR_IO;
    // "#0" (indefinite length) is not accepted; anything but a digit is not a block at all.
    if (header[1] == '0')
        return -1;
    if (header[1] < '1' || header[1] > '9')
        return VI_ERROR_IO;
    const ViUInt32 digits = ViUInt32(header[1] - '0');
    status = viRead(vi(), reinterpret_cast<ViPBuf>(header + 2), digits, &got);
    headerRead.append(header + 2, int(qMin(got, digits)));
    if (status < VI_SUCCESS || got < digits)
        return status;
    quint64 announced = 0;
    if (!DefiniteBlock::parseLengthDigits(header + 2, int(digits), announced))
        return VI_ERROR_IO;
    if (announced == 0)
        return -1;

    if (announced <= length)
        return viRead(vi(), reinterpret_cast<ViPBuf>(buffer), ViUInt32(announced), &count);
    status = viRead(vi(), reinterpret_cast<ViPBuf>(buffer), length, &count);
    if (status < VI_SUCCESS)
        return status;
    return discardSurplus(ViUInt32(announced - count));
}

ViStatus FwRewriter::discardSurplus(ViUInt32 surplus)
{
    ViStatus status = VI_SUCCESS;
    for (ViUInt32 left = surplus; left > 0; --left) {
        char scratch = 0;
        ViUInt32 got = 0;
        status = viRead(vi(), reinterpret_cast<ViPBuf>(&scratch), 1, &got);
        // A byte that is not the reply's last completes its one-byte read with
        // VI_SUCCESS_MAX_CNT; the reply's end or a failure stops the reading.
        if (status != VI_SUCCESS_MAX_CNT)
            break;
    }
    return status;
}

bool FwRewriter::compareMemory(const char *data, quint32 address, quint32 length)
{
    QByteArray memory(int(length), '\0');
    ViUInt32 count = 0;
    // A short reply leaves zeros in the buffer, which would match a block of zeros.
    if (readMemory(address, length, memory.data(), count) < VI_SUCCESS || count < length) {
        note(ioError);
        return false;
    }
    return std::memcmp(memory.constData(), data, length) == 0;
}

bool FwRewriter::compareWithFlash()
{
    if (!loaded) {
        note(error.toUtf8());
        return false;
    }
    note(QT_TRANSLATE_NOOP("FirmwareUpdate", "Чтение данных РПЗУ..."));
    note(QT_TRANSLATE_NOOP("FirmwareUpdate", "Сравнение данных РПЗУ..."));
    if (compareMemory(image.constData(), mainFlashBase, size)) {
        note(QT_TRANSLATE_NOOP("FirmwareUpdate", "Файл и прошивка инструмента совпадают."));
        return true;
    }
    note(QT_TRANSLATE_NOOP("FirmwareUpdate", "Записанный файл и содержимое памяти отличается!"));
    return false;
}

// The erase is judged by the first error the module reports after it, so errors left by
// earlier commands (a refused set-point, a calibration point with the output off) are read
// away first. A failed query ends the rewrite like a failed erase query.
bool FwRewriter::emptyErrorQueue()
{
    for (int read = 0; read < errorQueueReads; ++read) {
        char reply[256];
        if (ErrorQuery::query(vi(), reply) < VI_SUCCESS)
            return false;
        if (ErrorQuery::isNoError(reply))
            return true;
    }
    note(QT_TRANSLATE_NOOP("FirmwareUpdate", "Очередь ошибок инструмента не очищается."));
    return false;
}

bool FwRewriter::rewrite()
{
    if (!loaded) {
        note(error.toUtf8());
        return false;
    }
    if (vi() == VI_NULL || viClear(vi()) < VI_SUCCESS) {
        note(ioError);
        return false;
    }
    note(QT_TRANSLATE_NOOP("FirmwareUpdate", "Стирание промежуточного РПЗУ."));
    if (!emptyErrorQueue())
        return false;
    const quint32 n = roundedSize();
    CommandChain erase(link, FailureRule::Flash);
    if (!erase.command("FLASH:TEMP:ERASE %d\n", int(n)).ok())
        return false;
    TimeFacility::instance().sleep(eraseWaitMs);
    char reply[256];
    if (!erase.queryLine("*ERR?\n", reply).ok())
        return false;
    note("...");

    if (ErrorQuery::isNoError(reply)) {
        for (quint32 offset = 0; offset < n; offset += blockSize)
            if (writeTempBlock(offset, blockSize) != VI_SUCCESS)
                return false;
        note(QT_TRANSLATE_NOOP("FirmwareUpdate",
                               "Перезапись прошивки из промежуточного РПЗУ по месту..."));
        // The module restarts on this command and may drop the link before answering.
        viPrintf(vi(), "FLASH:TEMP:FIRMWARE %d\n", int(n));
    } else if (rewriteDirect(n) != VI_SUCCESS) {
        return false;
    }
    TimeFacility::instance().sleep(restartWaitMs);
    note(QT_TRANSLATE_NOOP("FirmwareUpdate",
                           "Внимание! \nПосле перезаписи прошивки инструмент перезагружается, "
                           "\nпоэтому сеанс связи с ним должен быть закрыт и открыт повторно!"));
    return true;
}
