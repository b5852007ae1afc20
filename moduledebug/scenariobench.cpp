#include "scenariobench.h"

#include "commandchain.h"
#include "delayms.h"

namespace {

constexpr int moduleCommandPauseMs = 100;
// "%s" reads at most 255 characters of the identity into its 256-byte buffer.
constexpr int identityBufferSize = 256;

ScenarioFailure asFailure(BenchInstruments::Outcome outcome)
{
    using Outcome = BenchInstruments::Outcome;
    switch (outcome) {
    case Outcome::Ready:
        return ScenarioFailure::None;
    case Outcome::MultimeterCannotOpen:
        return ScenarioFailure::MultimeterCannotOpen;
    case Outcome::MultimeterLinkBroken:
        return ScenarioFailure::MultimeterLinkBroken;
    case Outcome::LoadCannotOpen:
        return ScenarioFailure::LoadCannotOpen;
    case Outcome::LoadLinkBroken:
        return ScenarioFailure::LoadLinkBroken;
    case Outcome::Missing:
        break;
    }
    return ScenarioFailure::InstrumentsMissing;
}

} // namespace

ScenarioBench::ScenarioBench(ViSession moduleSession) : session(moduleSession) {}

ScenarioBench::~ScenarioBench()
{
    release();
}

bool ScenarioBench::openInstruments(const MultimeterConfiguration &configuration, bool useLoad)
{
    if (!ok())
        return false;
    measuringQuery = configuration.query;
    fail(asFailure(instruments.search(configuration, useLoad)));
    return ok();
}

void ScenarioBench::command(const char *text)
{
    if (!ok())
        return;
    if (!CommandChain(session).command("%s", text).ok())
        fail(ScenarioFailure::ModuleLinkBroken);
    pause(moduleCommandPauseMs);
}

void ScenarioBench::command(const char *format, double value)
{
    if (!ok())
        return;
    if (!CommandChain(session).command(format, value).ok())
        fail(ScenarioFailure::ModuleLinkBroken);
    pause(moduleCommandPauseMs);
}

double ScenarioBench::query(const char *text)
{
    double value = 0.0;
    if (ok() && !CommandChain(session).query(text, "%lf", &value).ok()) {
        fail(ScenarioFailure::ModuleLinkBroken);
        value = 0.0;
    }
    return value;
}

QString ScenarioBench::identity()
{
    char buffer[identityBufferSize];
    if (!ok())
        return QString();
    if (!CommandChain(session).queryToken("*IDN?\n", buffer).ok()) {
        fail(ScenarioFailure::ModuleLinkBroken);
        return QString();
    }
    return QString::fromLatin1(buffer);
}

void ScenarioBench::loadCommand(const QByteArray &line, int pauseMs)
{
    if (!ok())
        return;
    if (serialCommand(instruments.load(), line) != SerialWrite::Written)
        fail(ScenarioFailure::LoadLinkBroken);
    pause(pauseMs);
}

std::optional<double> ScenarioBench::reading()
{
    if (!ok())
        return std::nullopt;
    const SerialReading reading = serialQuery(instruments.multimeter(), measuringQuery);
    switch (reading.outcome) {
    case SerialReading::Outcome::Value:
        return reading.value;
    case SerialReading::Outcome::LinkBroken:
        fail(ScenarioFailure::MultimeterLinkBroken);
        break;
    case SerialReading::Outcome::NoReply:
    case SerialReading::Outcome::Garbled:
    case SerialReading::Outcome::Unfinished:
        break;
    }
    return std::nullopt;
}

void ScenarioBench::pause(int ms)
{
    if (ok() && ms > 0)
        delayMs(ms);
}

void ScenarioBench::fail(ScenarioFailure reason)
{
    if (ok())
        failed = reason;
}

void ScenarioBench::release()
{
    instruments.release();
}
