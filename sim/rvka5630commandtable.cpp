#include "rvka5630commandtable.h"

#include "flashblockcommand.h"
#include "rvka5630state.h"
#include "scpiparser.h"
#include "simdefiniteblock.h"

namespace {

using Error = ScpiErrorQueue;

// The response message of one program message: the answers of its queries joined by ";",
// ended by a line feed unless it ends with a definite-length block.
class ReplyBuilder
{
public:
    void text(const QByteArray &answer)
    {
        append(answer);
        endsWithBlock = false;
    }
    void block(const QByteArray &encoded)
    {
        append(encoded);
        endsWithBlock = true;
    }
    void delay(int ms) { delayMs = qMax(delayMs, ms); }
    ModelReply finish() const
    {
        ModelReply reply;
        reply.data = data;
        if (any && !endsWithBlock)
            reply.data += '\n';
        reply.delayMs = delayMs;
        return reply;
    }

private:
    void append(const QByteArray &answer)
    {
        if (any)
            data += ';';
        data += answer;
        any = true;
    }

    QByteArray data;
    bool any = false;
    bool endsWithBlock = false;
    int delayMs = 0;
};

using Handler = void (*)(Rvka5630State &, const ScpiCommand &, ReplyBuilder &);

QByteArray number(double value)
{
    return QByteArray::number(value, 'f', 6);
}

// --- parameter rules ----------------------------------------------------------------------

bool noParameters(Rvka5630State &m, const ScpiCommand &c)
{
    if (c.parameters().isEmpty())
        return true;
    m.errors.push(Error::ParameterNotAllowed);
    return false;
}

bool singleParameter(Rvka5630State &m, const ScpiCommand &c, QByteArray *parameter)
{
    const QByteArrayList parameters = c.parameters();
    if (parameters.isEmpty() || parameters.first().isEmpty()) {
        m.errors.push(Error::MissingParameter);
        return false;
    }
    if (parameters.size() > 1) {
        m.errors.push(Error::ParameterNotAllowed);
        return false;
    }
    *parameter = parameters.first();
    return true;
}

bool isKeyword(const QByteArray &text, const char *shortForm, const char *longForm)
{
    const QByteArray t = text.toUpper();
    return t == shortForm || t == longForm;
}

// A value within [min, max]; MIN, MAX and DEF stand for the limits and the reset value.
bool numberParameter(Rvka5630State &m, const ScpiCommand &c, double min, double max, double def,
                     double *value)
{
    QByteArray text;
    if (!singleParameter(m, c, &text))
        return false;
    double v = 0.0;
    if (isKeyword(text, "MIN", "MINIMUM")) {
        v = min;
    } else if (isKeyword(text, "MAX", "MAXIMUM")) {
        v = max;
    } else if (isKeyword(text, "DEF", "DEFAULT")) {
        v = def;
    } else if (!ScpiParser::toNumber(text, &v)) {
        m.errors.push(Error::DataTypeError);
        return false;
    }
    if (v < min || v > max) {
        m.errors.push(Error::DataOutOfRange);
        return false;
    }
    *value = v;
    return true;
}

bool integerParameter(Rvka5630State &m, const ScpiCommand &c, qint64 min, qint64 max, qint64 *value)
{
    QByteArray text;
    if (!singleParameter(m, c, &text))
        return false;
    qint64 v = 0;
    if (!ScpiParser::toInteger(text, &v)) {
        m.errors.push(Error::DataTypeError);
        return false;
    }
    if (v < min || v > max) {
        m.errors.push(Error::DataOutOfRange);
        return false;
    }
    *value = v;
    return true;
}

bool booleanParameter(Rvka5630State &m, const ScpiCommand &c, bool *value)
{
    QByteArray text;
    if (!singleParameter(m, c, &text))
        return false;
    if (!ScpiParser::toBoolean(text, value)) {
        m.errors.push(Error::IllegalParameterValue);
        return false;
    }
    return true;
}

// "VOLT?", "VOLT? MIN", "VOLT? MAX".
void limitQuery(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r, double value, double min,
                double max)
{
    const QByteArrayList parameters = c.parameters();
    if (parameters.isEmpty())
        r.text(number(value));
    else if (parameters.size() == 1 && isKeyword(parameters.first(), "MIN", "MINIMUM"))
        r.text(number(min));
    else if (parameters.size() == 1 && isKeyword(parameters.first(), "MAX", "MAXIMUM"))
        r.text(number(max));
    else
        m.errors.push(Error::IllegalParameterValue);
}

// --- common commands ----------------------------------------------------------------------

void identify(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(m.identity);
}

void resetModule(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (noParameters(m, c))
        m.reset();
}

// The verdict is known only when the self-test has run its course: the answer is held back.
void runSelfTest(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (!noParameters(m, c))
        return;
    m.selfTestStatus = m.selfTestVerdict.trimmed() == "0" ? 0 : 1;
    r.text(m.selfTestVerdict);
    r.delay(m.selfTestDelayMs);
}

void nextError(Rvka5630State &m, const ScpiCommand &, ReplyBuilder &r)
{
    r.text(m.errors.pop());
}

void clearStatus(Rvka5630State &m, const ScpiCommand &, ReplyBuilder &)
{
    m.errors.clear();
}

void operationComplete(Rvka5630State &, const ScpiCommand &, ReplyBuilder &r)
{
    r.text("1");
}

// --- set-points, output and protections ---------------------------------------------------

void setVoltage(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (numberParameter(m, c, 0.0, Rvka5630State::maxVoltage, 0.0, &m.voltageSetpoint))
        m.settle();
}

void queryVoltage(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    limitQuery(m, c, r, m.voltageSetpoint, 0.0, Rvka5630State::maxVoltage);
}

void setCurrent(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (numberParameter(m, c, 0.0, Rvka5630State::maxCurrent, Rvka5630State::resetCurrent,
                        &m.currentSetpoint))
        m.settle();
}

void queryCurrent(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    limitQuery(m, c, r, m.currentSetpoint, 0.0, Rvka5630State::maxCurrent);
}

void setProtection(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (numberParameter(m, c, Rvka5630State::minProtection, Rvka5630State::maxProtection,
                        Rvka5630State::maxProtection, &m.protectionLevel))
        m.settle();
}

void queryProtection(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    limitQuery(m, c, r, m.protectionLevel, Rvka5630State::minProtection,
               Rvka5630State::maxProtection);
}

// A latched fault must be cleared, and a failed self-test ignored, before the output may
// be switched on again.
void setOutput(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    bool on = false;
    if (!booleanParameter(m, c, &on))
        return;
    if (on && (m.fault != 0 || m.outputLocked())) {
        m.errors.push(Error::SettingsConflict);
        return;
    }
    m.outputOn = on;
    m.pinOutRelay = on;
    m.settle();
}

void queryOutput(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    const QByteArrayList parameters = c.parameters();
    if (parameters.isEmpty() ||
        (parameters.size() == 1 && isKeyword(parameters.first(), "STAT", "STATE")))
        r.text(QByteArray::number(m.outputStateCode()));
    else
        m.errors.push(Error::IllegalParameterValue);
}

void querySelfTestStatus(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(QByteArray::number(m.selfTestStatus));
}

void clearFault(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (!noParameters(m, c))
        return;
    m.fault = 0;
    m.settle();
}

void ignoreSelfTest(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (noParameters(m, c))
        m.ignoreMark = true;
}

void queryIgnoreMark(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(m.ignoreMark ? "1" : "0");
}

void setOverPower(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (booleanParameter(m, c, &m.overPower))
        m.settle();
}

void queryOverPower(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(m.overPower ? "1" : "0");
}

// --- trigger lines ------------------------------------------------------------------------

void setTriggerSource(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    const QByteArrayList parameters = c.parameters();
    if (parameters.isEmpty()) {
        m.errors.push(Error::MissingParameter);
        return;
    }
    const QByteArray role = parameters.first();
    if (isKeyword(role, "IMM", "IMMEDIATE")) {
        if (parameters.size() != 1) {
            m.errors.push(Error::ParameterNotAllowed);
            return;
        }
        m.triggerRole = Rvka5630State::TriggerRole::Immediate;
        m.triggerLine = 0;
        return;
    }
    const bool master = isKeyword(role, "MAST", "MASTER");
    if (!master && !isKeyword(role, "SLAV", "SLAVE")) {
        m.errors.push(Error::IllegalParameterValue);
        return;
    }
    if (parameters.size() != 2) {
        m.errors.push(parameters.size() < 2 ? Error::MissingParameter : Error::ParameterNotAllowed);
        return;
    }
    qint64 line = 0;
    if (!ScpiParser::toInteger(parameters.at(1), &line)) {
        m.errors.push(Error::DataTypeError);
        return;
    }
    if (line < 0 || line > Rvka5630State::maxTriggerLine) {
        m.errors.push(Error::DataOutOfRange);
        return;
    }
    m.triggerRole = master ? Rvka5630State::TriggerRole::Master : Rvka5630State::TriggerRole::Slave;
    m.triggerLine = int(line);
}

void queryTriggerSource(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (!noParameters(m, c))
        return;
    switch (m.triggerRole) {
    case Rvka5630State::TriggerRole::Immediate:
        r.text("IMM");
        break;
    case Rvka5630State::TriggerRole::Master:
        r.text("MASTER," + QByteArray::number(m.triggerLine));
        break;
    case Rvka5630State::TriggerRole::Slave:
        r.text("SLAVE," + QByteArray::number(m.triggerLine));
        break;
    }
}

void setAbortLine(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    qint64 line = 0;
    if (integerParameter(m, c, 0, Rvka5630State::maxTriggerLine, &line))
        m.abortLine = int(line);
}

void queryAbortLine(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(QByteArray::number(m.abortLine));
}

// --- measurements and identity ------------------------------------------------------------

void measureVoltage(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(number(m.measuredVoltage()));
}

void measureCurrent(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(number(m.measuredCurrent()));
}

void measureTemperature(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(QByteArray::number(m.measuredTemperature(), 'f', 2));
}

void selfTestResults(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.block(SimDefiniteBlock::encode(m.selfTestRecords));
}

template <QByteArray Rvka5630State::*field>
void queryText(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(m.*field);
}

// --- calibration --------------------------------------------------------------------------

// A point records the drive and the raw read-back of this moment against the true value the
// operator measured, which is only meaningful while the output is on.
template <CalibrationTable Rvka5630State::*table>
void addCalibrationPoint(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    const bool voltage = table == &Rvka5630State::voltageCalibration;
    double measured = 0.0;
    const double limit = voltage ? Rvka5630State::maxProtection : Rvka5630State::maxCurrent * 1.2;
    if (!numberParameter(m, c, -limit, limit, 0.0, &measured))
        return;
    if (!m.outputOn || m.fault != 0) {
        m.errors.push(Error::SettingsConflict);
        return;
    }
    const OperatingPoint point = m.operatingPoint();
    CalibrationTable::Point calibrationPoint;
    calibrationPoint.drive = voltage ? m.voltageDrive() : m.currentDrive();
    calibrationPoint.raw = voltage ? m.circuit.rawVoltageReading(point.voltage)
                                   : m.circuit.rawCurrentReading(point.current);
    calibrationPoint.measured = measured;
    if (!(m.*table).addPoint(calibrationPoint)) {
        m.errors.push(Error::TooMuchData);
        return;
    }
    m.settle();
}

template <CalibrationTable Rvka5630State::*table>
void clearCalibration(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (!noParameters(m, c))
        return;
    (m.*table).clear();
    m.settle();
}

void saveCalibration(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (!noParameters(m, c))
        return;
    m.storedVoltageCalibration = m.voltageCalibration;
    m.storedCurrentCalibration = m.currentCalibration;
}

// --- debug pins and codes -----------------------------------------------------------------

template <bool Rvka5630State::*pin>
void setPin(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    if (booleanParameter(m, c, &(m.*pin)))
        m.settle();
}

template <bool Rvka5630State::*pin>
void queryPin(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text((m.*pin) ? "1" : "0");
}

template <int stateCode>
void queryStatusPin(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(m.outputStateCode() == stateCode ? "1" : "0");
}

// Codes arrive as signed 16-bit fields ("%hd"): -25536 is the code 40000.
template <quint16 Rvka5630State::*code>
void setCode(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    qint64 value = 0;
    if (integerParameter(m, c, -32768, 65535, &value))
        m.*code = quint16(value & 0xFFFF);
}

template <quint16 Rvka5630State::*code>
void queryCode(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(QByteArray::number(m.*code));
}

void queryRawCode(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    if (noParameters(m, c))
        r.text(QByteArray::number(m.rawCode(c.path.last())));
}

// --- flash --------------------------------------------------------------------------------

void eraseIntermediate(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    qint64 length = 0;
    if (!integerParameter(m, c, 1, FlashMemory::intermediateSize, &length))
        return;
    if (m.rejectErase) {
        m.errors.push(Error::MemoryError);
        return;
    }
    m.flash.eraseIntermediate(quint32(length));
}

bool countDown(int &counter)
{
    return counter > 0 && --counter == 0;
}

void writeIntermediateBlock(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    FlashBlockCommand block;
    if (!FlashBlockCommand::parse(c.argument, &block)) {
        m.errors.push(Error::InvalidBlockData);
        return;
    }
    if (block.address > FlashMemory::intermediateSize ||
        quint32(block.data.size()) > FlashMemory::intermediateSize - block.address) {
        m.errors.push(Error::DataOutOfRange);
        return;
    }
    if (countDown(m.blockWritesUntilFailure)) {
        m.errors.push(Error::MemoryError);
        return;
    }
    m.flash.programIntermediate(block.address, block.data);
}

void copyToFirmware(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    qint64 length = 0;
    if (!integerParameter(m, c, 1, FlashMemory::intermediateSize, &length))
        return;
    m.flash.copyIntermediateToMain(quint32(length));
    m.restart();
}

void rewriteFirmware(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &)
{
    FlashBlockCommand block;
    if (!FlashBlockCommand::parse(c.argument, &block)) {
        m.errors.push(Error::InvalidBlockData);
        return;
    }
    if (block.address != FlashMemory::mainBase ||
        quint32(block.data.size()) > FlashMemory::mainSize) {
        m.errors.push(Error::DataOutOfRange);
        return;
    }
    m.flash.loadMain(block.data);
    m.restart();
}

void readMemory(Rvka5630State &m, const ScpiCommand &c, ReplyBuilder &r)
{
    const QByteArrayList parameters = c.parameters();
    if (parameters.size() != 2) {
        m.errors.push(parameters.size() < 2 ? Error::MissingParameter : Error::ParameterNotAllowed);
        return;
    }
    qint64 address = 0;
    qint64 length = 0;
    if (!ScpiParser::toInteger(parameters.at(0), &address) ||
        !ScpiParser::toInteger(parameters.at(1), &length)) {
        m.errors.push(Error::DataTypeError);
        return;
    }
    QByteArray data;
    if (address < 0 || address > 0xFFFFFFFFLL || length <= 0 || length > 0x100000 ||
        !m.flash.read(quint32(address), quint32(length), &data)) {
        m.errors.push(Error::DataOutOfRange);
        return;
    }
    if (countDown(m.memReadsUntilCorruption))
        data[data.size() / 2] = char(data.at(data.size() / 2) ^ 0x5A);
    if (m.memReadSurplus > 0) {
        QByteArray surplus;
        if (!m.flash.read(quint32(address + length), quint32(m.memReadSurplus), &surplus))
            surplus = QByteArray(m.memReadSurplus, char(0xFF));
        data += surplus;
    }
    r.block(SimDefiniteBlock::encode(data));
}

// --- the table ----------------------------------------------------------------------------

struct Entry
{
    const char *pattern; // SCPI notation: upper-case letters are the short form
    bool query;
    Handler handler;
};

using S = Rvka5630State;

const Entry commandTable[] = {
    {"*IDN", true, identify},
    {"*RST", false, resetModule},
    {"*TST", true, runSelfTest},
    {"*ERR", true, nextError},
    {"*CLS", false, clearStatus},
    {"*OPC", true, operationComplete},
    {"SYSTem:ERRor", true, nextError},
    {"SYSTem:ERRor:NEXT", true, nextError},

    {"VOLTage", false, setVoltage},
    {"VOLTage", true, queryVoltage},
    {"VOLTage:PROTection", false, setProtection},
    {"VOLTage:PROTection", true, queryProtection},
    {"CURRent", false, setCurrent},
    {"CURRent", true, queryCurrent},
    {"OUTPut", false, setOutput},
    {"OUTPut", true, queryOutput},
    {"OUTPut:PROTection", true, querySelfTestStatus},
    {"OUTPut:PROTection:CLEar", false, clearFault},
    {"OUTPut:PROTection:IGNORE", false, ignoreSelfTest},
    {"OUTPut:PROTection:IGNORE", true, queryIgnoreMark},
    {"OVPOWER", false, setOverPower},
    {"OVPOWER", true, queryOverPower},
    {"TRIGger:CONFigure:SOURce", false, setTriggerSource},
    {"TRIGger:CONFigure:SOURce", true, queryTriggerSource},
    {"TRIGger:CONFigure:ERR", false, setAbortLine},
    {"TRIGger:CONFigure:ERR", true, queryAbortLine},

    {"MEASure:VOLTage", true, measureVoltage},
    {"MEASure:CURRent", true, measureCurrent},
    {"MEASure:TEMPerature", true, measureTemperature},
    {"MEASure:SELFTEST", true, selfTestResults},
    {"CONFigure:PLACEID", true, queryText<&S::placeId>},
    {"CONFigure:ADDRID", true, queryText<&S::addrId>},
    {"CONFigure:SWITCHID", true, queryText<&S::switchId>},
    {"CONFigure:HWV", true, queryText<&S::hardwareVersion>},
    {"CONFigure:FWV", true, queryText<&S::firmwareVersion>},

    {"CALibration:VOLTage", false, addCalibrationPoint<&S::voltageCalibration>},
    {"CALibration:CURRent", false, addCalibrationPoint<&S::currentCalibration>},
    {"CALibration:VOLTage:CLEar", false, clearCalibration<&S::voltageCalibration>},
    {"CALibration:CURRent:CLEar", false, clearCalibration<&S::currentCalibration>},
    {"CALibration:SAVE", false, saveCalibration},

    {"PIN:OUTRELE", false, setPin<&S::pinOutRelay>},
    {"PIN:OUTRELE", true, queryPin<&S::pinOutRelay>},
    {"PIN:ADGCTR", false, setPin<&S::pinAdgCtr>},
    {"PIN:ADGCTR", true, queryPin<&S::pinAdgCtr>},
    {"PIN:ULPISTP", false, setPin<&S::pinUlpiStp>},
    {"PIN:ULPISTP", true, queryPin<&S::pinUlpiStp>},
    {"PIN:OVVOUT", true, queryStatusPin<S::StateOV>},
    {"PIN:CVCTR", true, queryStatusPin<S::StateCV>},
    {"PIN:CCCTR", true, queryStatusPin<S::StateCC>},
    {"PIN:TTFOVC", true, queryStatusPin<S::StateCPPlus>},
    {"PIN:OCP", true, queryStatusPin<S::StateOC>},
    {"CODE:IBALDACONE", false, setCode<&S::ibalDac>},
    {"CODE:IBALDACONE", true, queryCode<&S::ibalDac>},
    {"CODE:PWMVALUE", false, setCode<&S::pwmValue>},
    {"CODE:PWMVALUE", true, queryCode<&S::pwmValue>},
    {"CODE:PWMP", false, setCode<&S::pwmP>},
    {"CODE:PWMP", true, queryCode<&S::pwmP>},
    {"CODE:PWMI", false, setCode<&S::pwmI>},
    {"CODE:PWMI", true, queryCode<&S::pwmI>},
    {"CODE:PWMD", false, setCode<&S::pwmD>},
    {"CODE:PWMD", true, queryCode<&S::pwmD>},
    {"CODE:VDROP", true, queryRawCode},
    {"CODE:IBAL", true, queryRawCode},
    {"CODE:FBVDROP", true, queryRawCode},
    {"CODE:FBVNS", true, queryRawCode},

    {"FLASH:TEMP:ERASE", false, eraseIntermediate},
    {"FLASH:TEMP:WRITE2", false, writeIntermediateBlock},
    {"FLASH:TEMP:FIRMWARE", false, copyToFirmware},
    {"FLASH:REWRITE2", false, rewriteFirmware},
    {"MEMREAD", true, readMemory},
};

bool nodeMatches(const QByteArray &node, const QByteArray &patternNode)
{
    int shortLength = 0;
    while (shortLength < patternNode.size() &&
           !(patternNode.at(shortLength) >= 'a' && patternNode.at(shortLength) <= 'z'))
        ++shortLength;
    return node == patternNode.toUpper() || node == patternNode.left(shortLength);
}

Handler findHandler(const ScpiCommand &command)
{
    for (const Entry &entry : commandTable) {
        if (entry.query != command.query)
            continue;
        const QByteArrayList nodes = QByteArray(entry.pattern).split(':');
        if (nodes.size() != command.path.size())
            continue;
        bool matches = true;
        for (int i = 0; i < nodes.size() && matches; ++i)
            matches = nodeMatches(command.path.at(i), nodes.at(i));
        if (matches)
            return entry.handler;
    }
    return nullptr;
}

} // namespace

ModelReply Rvka5630CommandTable::run(Rvka5630State &module, const QByteArray &message)
{
    ReplyBuilder reply;
    const int restartsBefore = module.restartCount;
    for (const ScpiCommand &command : ScpiParser::parse(message)) {
        if (command.fault == ScpiCommand::Fault::Syntax) {
            module.errors.push(Error::SyntaxError);
            continue;
        }
        if (command.fault == ScpiCommand::Fault::Block) {
            module.errors.push(Error::InvalidBlockData);
            continue;
        }
        const Handler handler = findHandler(command);
        if (!handler) {
            module.errors.push(Error::UndefinedHeader);
            continue;
        }
        handler(module, command, reply);
        // A restarting module forgets the rest of the message.
        if (module.restartCount != restartsBefore)
            break;
    }
    return reply.finish();
}
