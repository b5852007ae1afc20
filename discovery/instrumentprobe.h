#pragma once

#include "discoverysurvey.h"
#include "findlisthandle.h"
#include "modrow.h"

#include <visa.h>

#include <QString>
#include <QVector>

#include <memory>

// The discovery probe, run as one task off the GUI thread: enumerates the LAN instruments,
// opens a short session on each (several side by side, each on a thread of the task's own),
// keeps those whose identification names the model and reads their placement in the chassis.
// Touches no widget; its only output is the returned rows, in discovery order, and it
// returns only when every probe session it opened is closed again.
class InstrumentProbe
{
public:
    // What the program looks for: the model named in the identification, the placement query
    // and the format its reply fills.
    static QString moduleModel() { return QStringLiteral("RVKA5630"); }
    static QString placementQuery() { return QStringLiteral("CONF:PLACEID?;ADDRID?;SWITCHID?"); }
    static QString placementFormat()
    {
        return QStringLiteral("PLACEID: %s; ADDRID: %s; SWITCHID: %s");
    }

    // What an instrument's identification says of it.
    enum class Identity
    {
        Module,     // it names the model
        OtherModel, // it names another one
        NoAnswer,   // the query failed
    };
    // Reads the identification the way the probe does, into idn.
    static Identity identify(ViSession vi, const QString &modelFilter, QString &idn);

    static QVector<modRow> run(ViSession resourceManager, std::shared_ptr<FindListHandle> findList,
                               QString modelFilter, QString placeQuery, QString placeFormat);
    // The same discovery, also telling which found resources were left out and why.
    static DiscoverySurvey survey(ViSession resourceManager,
                                  std::shared_ptr<FindListHandle> findList, QString modelFilter,
                                  QString placeQuery, QString placeFormat);

    // The placement text: each ";"-separated part of the reply, empty parts included, fills
    // the next "%s" of the format; surplus parts are dropped and unfilled markers stay.
    static QString placementInfo(const QString &placeFormat, const QString &reply);

private:
    // One instrument; false when it cannot be opened, does not answer or is another model,
    // with the reason in leftOut.
    static bool probe(ViSession resourceManager, const char *descriptor, const QString &modelFilter,
                      const QByteArray &placeQuery, const QString &placeFormat, modRow &row,
                      LeftOutResource &leftOut);
};
