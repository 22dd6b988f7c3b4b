#include "messages.h"

namespace qyr {

void Messages::setDefaults()
{
    strMsgDelMark = QStringLiteral("Sei sicuro di voler cancellare tutti i marcatori?");
    strMsgUscita = QStringLiteral("Sei sicuro di voler uscire?");
    strMsgSostFile = QStringLiteral("Si vuole sostituire il file @FILE@?");
    strMsgExportOk = QStringLiteral("Export effettuato correttamente nel file @FILE@");
    strMsgExportKo = QStringLiteral("Export del file @FILE@ fallito!");
    strMsgRipristinoOk = QStringLiteral("Ripristino effettuato @FILE@");
    strMsgMarkExist = QStringLiteral("Il nome del marcatore è già stato inserito!");
    strMsgErrore = QStringLiteral("ERRORE: @POS@. Codice: @NUMBER@ - @DESCRIPTION@");
    strMsgMarkNone = QStringLiteral("Non ci sono marcatori presenti.");
}

QString Messages::errore(const QString &pos, qint32 number, const QString &description) const
{
    QString s = strMsgErrore;
    s.replace(QLatin1String("@POS@"), pos);
    s.replace(QLatin1String("@NUMBER@"), QString::number(number));
    s.replace(QLatin1String("@DESCRIPTION@"), description);
    return s;
}

} // namespace qyr
