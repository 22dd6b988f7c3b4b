#include "errors.h"

namespace qyr {

QString errorDescription(qint32 number)
{
    switch (number) {
    case err::InvalidCall: return QStringLiteral("Chiamata di routine o argomento non validi");
    case err::Overflow: return QStringLiteral("Overflow");
    case err::OutOfRange: return QStringLiteral("Indice non incluso nell'intervallo");
    case err::TypeMismatch: return QStringLiteral("Tipo non corrispondente");
    case err::FileNotFound: return QStringLiteral("File non trovato");
    case err::PathAccess: return QStringLiteral("Errore di accesso al percorso o al file");
    case err::ObjectNotSet: return QStringLiteral("Variabile oggetto non impostata: il lettore non è disponibile");
    case err::InvalidFileFormat: return QStringLiteral("Formato di file non valido");
    case err::InvalidPropertyValue: return QStringLiteral("Valore di proprietà non valido");
    case err::CannotCreateObject: return QStringLiteral("Impossibile creare l'oggetto");
    case err::SettingsStore: return QStringLiteral("Errore nell'archivio delle impostazioni");
    case err::MediaHost: return QStringLiteral("Errore del lettore multimediale");
    case err::Browser: return QStringLiteral("Errore del browser");
    default: return QStringLiteral("Errore imprevisto");
    }
}

QyrError::QyrError(qint32 number, QString description)
    : number_(number), description_(std::move(description)), utf8_(description_.toStdString())
{
}

QyrError::QyrError(qint32 number) : QyrError(number, errorDescription(number)) {}

} // namespace qyr
