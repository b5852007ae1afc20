#include "rvka5630link.h"

#include "commandchain.h"

namespace {
struct LimitQueries
{
    const char *minimum;
    const char *maximum;
    std::optional<Rvka5630Link::Range> Rvka5630Link::Limits::*range;
};

const LimitQueries limitQueries[] = {
    {"VOLT? MIN\n", "VOLT? MAX\n", &Rvka5630Link::Limits::voltage},
    {"CURR? MIN\n", "CURR? MAX\n", &Rvka5630Link::Limits::current},
    {"VOLT:PROT? MIN\n", "VOLT:PROT? MAX\n", &Rvka5630Link::Limits::protection},
};

// Runs one "%lf" query of the chain and keeps its value only when it succeeded.
void readDouble(CommandChain &chain, const char *query, std::optional<double> &value)
{
    double reply = 0;
    if (chain.query(query, "%lf", &reply).ok())
        value = reply;
}

void readInt(CommandChain &chain, const char *query, std::optional<int> &value)
{
    int reply = 0;
    if (chain.query(query, "%d", &reply).ok())
        value = reply;
}
} // namespace

bool Rvka5630Link::readLimits(Limits &limits) const
{
    CommandChain chain(session);
    for (const LimitQueries &queries : limitQueries) {
        Range range;
        chain.query(queries.minimum, "%lf", &range.minimum)
            .query(queries.maximum, "%lf", &range.maximum);
        if (!chain.ok())
            break;
        limits.*queries.range = range;
    }
    return chain.ok();
}

bool Rvka5630Link::readMeasurements(Measurements &measurements) const
{
    CommandChain chain(session);
    readDouble(chain, "MEAS:VOLT?\n", measurements.voltage);
    readDouble(chain, "MEAS:CURR?\n", measurements.current);
    readInt(chain, "OUTP? STATE\n", measurements.stateCode);
    readDouble(chain, "MEAS:TEMP?\n", measurements.temperature);
    return chain.ok();
}

bool Rvka5630Link::readSettings(Settings &settings) const
{
    CommandChain chain(session);
    readDouble(chain, "VOLT?\n", settings.voltage);
    readDouble(chain, "CURR?\n", settings.current);
    readDouble(chain, "VOLT:PROT?\n", settings.protection);
    readInt(chain, "OUTP?\n", settings.outputCode);
    char source[TriggerConfiguration::maxSourceReply + 1];
    if (chain.queryToken("TRIG:CONF:SOUR?\n", source).ok())
        settings.triggerSource = TriggerConfiguration::fromSourceReply(source);
    readInt(chain, "TRIG:CONF:ERR?\n", settings.abortLine);
    readInt(chain, "OVPOWER?\n", settings.overPower);
    return chain.ok();
}

bool Rvka5630Link::setOutput(bool on) const
{
    return CommandChain(session).command(on ? "OUTP 1\n" : "OUTP 0\n").ok();
}

bool Rvka5630Link::clearFaults() const
{
    return CommandChain(session).command("OUTP:PROT:CLE\n").ok();
}

bool Rvka5630Link::setParameters(double protection, double voltage, double current) const
{
    return CommandChain(session)
        .command("VOLT:PROT %lf\n", protection)
        .command("VOLT %lf\n", voltage)
        .command("CURR %lf\n", current)
        .ok();
}

bool Rvka5630Link::configureTriggers(const TriggerConfiguration &configuration) const
{
    CommandChain chain(session);
    if (configuration.line != 0)
        chain.command("TRIG:CONF:SOUR %s,%d\n", configuration.roleText(), configuration.line);
    else
        chain.command("TRIG:CONF:SOUR IMM\n");
    return chain.command("TRIG:CONF:ERR %d\n", configuration.abortLine).ok();
}

bool Rvka5630Link::setPowerMode(int mode) const
{
    return CommandChain(session).command("OVPOWER %d\n", mode).ok();
}

bool Rvka5630Link::reset() const
{
    return CommandChain(session).command("*RST\n").ok();
}
