#pragma once

#include <QCoreApplication>
#include <QString>

// The module's identity and its placement in the AXIe chassis, as the module reports them, and
// the table the operator sees them in.
class ModuleSession;

class ModuleInformation
{
    Q_DECLARE_TR_FUNCTIONS(ModuleInformation)

public:
    // Both replies are read as one token each ("%s") into a buffer of this size.
    static const int replyBufferSize = 256;

    // "*IDN?" then the placement and versions query, as one chain; false at the first failure
    // (warnings included), and the replies read so far are kept.
    bool read(ModuleSession &session);

    QString identityReply() const { return identity; }
    QString placementReply() const { return placement; }
    // The table filled with the replies read.
    QString text() const { return filled(identity, placement); }

    // Rich text with seven "%s" placeholders: model, serial number, PLACEID, ADDRID, SWITCHID,
    // device version, firmware version.
    static QString informationTemplate();
    // Model and serial number are the second and third comma-separated pieces of the identity;
    // the ";"-separated pieces of the placement fill the rows after them in order. Pieces
    // beyond the rows are dropped; a row without a piece keeps its "%s". Pieces are text: a
    // "%s" or markup in a reply is shown as it stands.
    static QString filled(const QString &identityReply, const QString &placementReply);

private:
    QString identity;
    QString placement;
};
