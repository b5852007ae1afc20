#include "benchinstruments.h"

#include "benchports.h"

namespace {

bool opens(const BenchPort &port)
{
    QSerialPort line;
    line.setPortName(port.location);
    if (!openSerialLine(line))
        return false;
    line.close();
    return true;
}

} // namespace

BenchInstruments::~BenchInstruments()
{
    release();
}

BenchInstruments::Outcome BenchInstruments::search(const MultimeterConfiguration &configuration,
                                                   bool useLoad)
{
    for (const BenchPort &port : BenchPorts::available()) {
        if (!multimeterPort.isOpen() && BenchPorts::recognises(BenchInstrument::Multimeter, port)) {
            multimeterPort.setPortName(port.location);
            multimeterInfo = port;
            switch (openMultimeter(multimeterPort, configuration)) {
            case InstrumentOpen::CannotOpen:
                return Outcome::MultimeterCannotOpen;
            case InstrumentOpen::LinkBroken:
                return Outcome::MultimeterLinkBroken;
            case InstrumentOpen::Ready:
                break;
            }
        }
        if (useLoad && !loadPort.isOpen() && BenchPorts::recognises(BenchInstrument::Load, port)) {
            loadPort.setPortName(port.location);
            loadInfo = port;
            switch (openLoad(loadPort)) {
            case InstrumentOpen::CannotOpen:
                return Outcome::LoadCannotOpen;
            case InstrumentOpen::LinkBroken:
                return Outcome::LoadLinkBroken;
            case InstrumentOpen::Ready:
                break;
            }
        }
    }
    if (!multimeterPort.isOpen() || (useLoad && !loadPort.isOpen()))
        return Outcome::Missing;
    return Outcome::Ready;
}

void BenchInstruments::release()
{
    releaseMultimeter(multimeterPort);
    releaseLoad(loadPort);
}

BenchInstruments::Availability BenchInstruments::availability()
{
    Availability found;
    for (const BenchPort &port : BenchPorts::available()) {
        if (BenchPorts::recognises(BenchInstrument::Multimeter, port) && opens(port))
            found.multimeter = true;
        if (BenchPorts::recognises(BenchInstrument::Load, port) && opens(port))
            found.load = true;
    }
    return found;
}
