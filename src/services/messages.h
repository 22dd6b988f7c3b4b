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

// Short answers of the program itself, shown (and so spoken) where a command
// would otherwise leave the reader in silence. Books do not replace them.
namespace notice {
inline QString audioNotFound(const QString &name) { return QStringLiteral("Audio non trovato: ") + name; }
inline QString noAudio() { return QStringLiteral("Nessun audio in riproduzione"); }
inline QString bookGone() { return QStringLiteral("Libro non raggiungibile"); }
} // namespace notice

} // namespace qyr
