#include "scenariobench.h"

#include "commandchain.h"
#include "modulesession.h"
#include "scenariomonitor.h"
#include "serialline.h"
#include "timefacility.h"

#include <QtGlobal>

#include <cstring>

namespace {

constexpr int moduleCommandPauseMs = 100;
// "%s" reads at most 255 characters of the identity into its 256-byte buffer.
constexpr int identityBufferSize = 256;
// What a rehearsal reads from the multimeter: any value will do, as long as there is one.
constexpr double rehearsedReading = 1.0;

const char *const outputOn = "OUTP 1\n";
// A reset leaves the module's output off too.
const char *const outputOffLines[] = {"OUTP 0\n", "*RST\n"};
const QByteArray loadInputOn = "INP 1\n";
const QByteArray loadInputOff = "INP 0\n";

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

ScenarioBench::ScenarioBench(ModuleSession &moduleSession, ScenarioMonitor *monitor)
    : session(moduleSession), observer(monitor), rehearsal(observer && observer->rehearsing())
{
}

ScenarioBench::~ScenarioBench()
{
    release();
}

bool ScenarioBench::openInstruments(const MultimeterConfiguration &configuration, bool useLoad)
{
    if (!ok())
        return false;
    measuringQuery = configuration.query;
    // The instruments' opening sequences take their time whatever is found on the ports.
    account(multimeterOpeningMs() + (useLoad ? loadOpeningMs() : 0));
    if (rehearsal)
        return true;
    fail(asFailure(instruments.search(configuration, useLoad)));
    if (ok() && observer)
        observer->instrumentsFound(instruments.multimeterFound(),
                                   useLoad ? instruments.loadFound() : BenchPort());
    return ok();
}

void ScenarioBench::command(const char *format)
{
    if (!ok())
        return;
    if (!rehearsal) {
        const bool written = CommandChain(session).command(format).ok();
        sent(format, written);
        if (!written)
            fail(ScenarioFailure::ModuleLinkBroken);
    }
    pause(moduleCommandPauseMs);
}

void ScenarioBench::command(const char *format, double value)
{
    if (!ok())
        return;
    if (!rehearsal && !CommandChain(session).command(format, value).ok())
        fail(ScenarioFailure::ModuleLinkBroken);
    pause(moduleCommandPauseMs);
}

double ScenarioBench::query(const char *text)
{
    double value = 0.0;
    if (ok() && !rehearsal && !CommandChain(session).query(text, "%lf", &value).ok()) {
        fail(ScenarioFailure::ModuleLinkBroken);
        value = 0.0;
    }
    return value;
}

QString ScenarioBench::identity()
{
    char buffer[identityBufferSize];
    if (!ok() || rehearsal)
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
    if (!rehearsal) {
        const bool written = serialCommand(instruments.load(), line) == SerialWrite::Written;
        loadSent(line, written);
        if (!written)
            fail(ScenarioFailure::LoadLinkBroken);
    }
    pause(pauseMs);
}

std::optional<double> ScenarioBench::reading()
{
    if (!ok())
        return std::nullopt;
    account(serialReadingMs());
    if (rehearsal)
        return rehearsedReading;
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

void ScenarioBench::pointStarted(int k, int n)
{
    if (ok() && observer)
        observer->pointStarted(k, n);
}

void ScenarioBench::pause(int ms)
{
    if (!ok() || ms <= 0)
        return;
    if (observer)
        observer->pausing(ms);
    if (rehearsal)
        return;
    const auto stopRequested = [this] { return observer && observer->stopRequested(); };
    if (!TimeFacility::instance().pause(ms, stopRequested))
        fail(ScenarioFailure::Stopped);
}

void ScenarioBench::account(int ms)
{
    if (observer)
        observer->pausing(ms);
}

void ScenarioBench::fail(ScenarioFailure reason)
{
    if (ok())
        failed = reason;
}

// A line that switches on counts from the moment it is sent, whether or not it got through; one
// that switches off only once it has.
void ScenarioBench::sent(const char *line, bool written)
{
    if (std::strcmp(line, outputOn) == 0)
        outputLive = true;
    for (const char *off : outputOffLines)
        if (written && std::strcmp(line, off) == 0)
            outputLive = false;
}

void ScenarioBench::loadSent(const QByteArray &line, bool written)
{
    if (line == loadInputOn)
        loadInputLive = true;
    if (written && line == loadInputOff)
        loadInputLive = false;
}

// In the order a point ends, output first, then the load. A link that has failed is not
// tried again; each line is tried once, and a bench that may still be live is logged.
void ScenarioBench::switchOff()
{
    if (outputLive && failed != ScenarioFailure::ModuleLinkBroken) {
        CommandChain off(session);
        if (!off.command("OUTP 0\n").ok())
            qWarning("Scenario ended early: \"OUTP 0\" failed with status %ld; the module "
                     "output may still be on",
                     long(off.status()));
    }
    if (loadInputLive && failed != ScenarioFailure::LoadLinkBroken && instruments.load().isOpen() &&
        serialCommand(instruments.load(), loadInputOff) != SerialWrite::Written)
        qWarning("Scenario ended early: \"INP 0\" did not reach the load on %s; its input may "
                 "still be on",
                 qPrintable(instruments.load().portName()));
    outputLive = false;
    loadInputLive = false;
}

void ScenarioBench::release()
{
    if (rehearsal)
        return;
    if (!ok())
        switchOff();
    instruments.release();
}
