#include "verificationframe.h"

#include "scenariomonitor.h"
#include "timefacility.h"

namespace {
// The module is given a moment after the identity query before the protocol is written.
constexpr int identityPauseMs = 100;
} // namespace

VerificationFrame::VerificationFrame(ModuleSession &session, const Procedure &verification,
                                     ScenarioMonitor *monitor)
    : procedure(verification), scenarioBench(session, monitor),
      verificationProtocol(verification.layout)
{
}

bool VerificationFrame::begin(const QString &fName)
{
    if (scenarioBench.rehearsing())
        return scenarioBench.openInstruments(procedure.multimeter, procedure.useLoad);
    if (!verificationProtocol.open(fName)) {
        scenarioBench.fail(ScenarioFailure::ReportFile);
        return false;
    }
    return scenarioBench.openInstruments(procedure.multimeter, procedure.useLoad);
}

ScenarioFailure VerificationFrame::finish()
{
    QString identity;
    if (scenarioBench.ok()) {
        identity = scenarioBench.identity();
        scenarioBench.pause(identityPauseMs);
        const QDate today = TimeFacility::instance().currentDateTime().date();
        if (scenarioBench.rehearsing())
            return scenarioBench.failure();
        if (scenarioBench.ok() && !verificationProtocol.write(identity, today))
            scenarioBench.fail(ScenarioFailure::ReportFile);
        if (scenarioBench.ok() && scenarioBench.monitor())
            scenarioBench.monitor()->protocolWritten(
                verificationProtocol.rows(), verificationProtocol.rowsEndingWith(verdict(false)));
    }
    if (scenarioBench.monitor() && !scenarioBench.rehearsing())
        scenarioBench.monitor()->pointsMeasured(verificationProtocol.rowCells(), identity);
    scenarioBench.release();
    verificationProtocol.discard();
    return scenarioBench.failure();
}

QByteArray VerificationFrame::loadCurrent(double amps)
{
    if (amps <= 0.0)
        return "CURR MAX\n";
    return loadCommand("CURR %1\n", amps);
}

QString VerificationFrame::verdict(bool passes)
{
    return passes ? QStringLiteral("норма") : QStringLiteral("не норма");
}
