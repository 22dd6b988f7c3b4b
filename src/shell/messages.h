#pragma once
// The nine reader messages, with their defaults; a book's table of contents
// may replace them. Placeholders are replaced just before a message is shown.
#include <QString>

namespace qyr {

struct Messages {
    QString strMsgMarkNone, strMsgDelMark, strMsgUscita, strMsgSostFile, strMsgExportOk, strMsgExportKo,
        strMsgRipristinoOk, strMsgMarkExist, strMsgErrore;
    void setDefaults();
    // strMsgErrore with its placeholders filled.
    QString errore(const QString &pos, qint32 number, const QString &description) const;
};

} // namespace qyr
