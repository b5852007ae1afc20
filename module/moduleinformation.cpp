#include "moduleinformation.h"

#include "commandchain.h"
#include "modulesession.h"

#include <QStringList>

namespace {
const char identityQuery[] = "*IDN?\n";
// Sent without a line end: the module takes the message end from END alone.
const char placementQuery[] = "CONF:PLACEID?;ADDRID?;SWITCHID?;HWV?;FWV?";

const QString placeholder = QStringLiteral("%s");
const int modelPiece = 1;
const int serialNumberPiece = 2;
} // namespace

bool ModuleInformation::read(ModuleSession &session)
{
    char reply[replyBufferSize];
    CommandChain chain(session);
    if (chain.queryToken(identityQuery, reply).ok())
        identity = QString::fromUtf8(reply);
    if (chain.queryToken(placementQuery, reply).ok())
        placement = QString::fromUtf8(reply);
    return chain.ok();
}

QString ModuleInformation::informationTemplate()
{
    // The runs of blanks after "</th>" are part of the fixed text and stay as they are.
    return tr(
        "<table border=\"0\" cellpadding=\"5\" style = \"font-family:courier "
        "new;font-size:16px;\"><caption>Подробная информация о модуле питания</caption>"
        "<tr><th align=\"left\">Производитель</th>    <td align=\"left\">Korvalis ltd.</td></tr>"
        "<tr><th align=\"left\">Модель</th>           <td align=\"left\">%s</td></tr>"
        "<tr><th align=\"left\">Серийный номер</th>   <td align=\"left\">%s</td></tr>"
        "<tr><th align=\"left\">PLACEID</th>          <td align=\"left\">%s</td></tr>"
        "<tr><th align=\"left\">ADDRID (слот)</th>    <td align=\"left\">%s</td></tr>"
        "<tr><th align=\"left\">SWITCHID</th>         <td align=\"left\">%s</td></tr>"
        "<tr><th align=\"left\">Версия устройства</th><td align=\"left\">%s</td></tr>"
        "<tr><th align=\"left\">Версия прошивки</th>  <td align=\"left\">%s</td></tr>"
        "</table>");
}

QString ModuleInformation::filled(const QString &identityReply, const QString &placementReply)
{
    // The text between the placeholders; a piece put in never becomes a placeholder itself.
    const QStringList between = informationTemplate().split(placeholder);
    const QStringList identityPieces = identityReply.split(QLatin1Char(','));
    QStringList pieces;
    for (int piece : {modelPiece, serialNumberPiece})
        pieces << (piece < identityPieces.size() ? identityPieces.at(piece).toHtmlEscaped()
                                                 : placeholder);
    for (const QString &piece : placementReply.split(QLatin1Char(';')))
        pieces << piece.toHtmlEscaped();

    QString text = between.first();
    for (int row = 1; row < between.size(); ++row) {
        const int piece = row - 1;
        text += (piece < pieces.size() ? pieces.at(piece) : placeholder) + between.at(row);
    }
    return text;
}
