#include "storedresultblock.h"

#include "commandchain.h"
#include "iorecorder.h"
#include "modulesession.h"

#include <QtGlobal>

#include <cstdlib>

namespace {
// Reads exactly count bytes; a warning status is as good as success.
bool readExactly(ViSession session, char *buffer, int count)
{
    if (count == 0)
        return true;
    ViUInt32 returned = 0;
    const ViStatus status =
        viRead(session, reinterpret_cast<ViPBuf>(buffer), ViUInt32(count), &returned);
    return status >= VI_SUCCESS && returned == ViUInt32(count);
}
} // namespace

bool StoredResultBlock::read(ModuleSession &link, QByteArray &text)
{
    const ViSession session = link.vi();
    // A reply left over from an earlier exchange must not be taken for the block.
    if (viClear(session) < VI_SUCCESS)
        return false;
    if (!CommandChain(link, FailureRule::Flash).command("MEAS:SELFTEST?\n").ok())
        return false;

    IoCall call(session);
    call.received = "";
    const bool read = readBlock(session, text, call.received);
    call.blockBytes = read ? text.size() : -1;
    if (read)
        call.finish(VI_SUCCESS);
    else
        call.finishAs(QT_TRANSLATE_NOOP("IoMonitor", "блок не прочитан"));
    return read;
}

bool StoredResultBlock::readBlock(ViSession session, QByteArray &text, QByteArray &headerRead)
{
    char start[2] = {};
    if (!readExactly(session, start, 2) || start[0] != '#' || start[1] < '0' || start[1] > '9')
        return false;
    char digits[10] = {};
    if (!readExactly(session, digits, start[1] - '0'))
        return false;
    headerRead = QByteArray(start, 2) + QByteArray(digits);
    // The count is its leading digits; whatever follows them does not count.
    const int length = std::atoi(digits);
    if (length < 0 || length > capacity)
        return false;

    char data[capacity + 1] = {};
    if (!readExactly(session, data, length))
        return false;
    text = QByteArray(data);
    return true;
}
