#include "errorreport.h"

#include <exception>

namespace qyr {

void ErrorReporter::ShowError(const QString &name, const QString &message)
{
    QString text;
    if (message.isEmpty())
        text = description_ + QStringLiteral("\r\nCodice: ") + QString::number(number_);
    else
        text = message;
    if (onReport)
        onReport(name, text);
    dialogs_.error(name, text);
}

void ErrorReporter::report(const QString &name, qint32 number) { report(name, Failure::of(number)); }

void ErrorReporter::report(const QString &name, const Failure &failure)
{
    setCurrent(failure.number, failure.description);
    ShowError(name, QString());
    clearCurrent();
}

void ErrorReporter::setCurrent(qint32 number, const QString &description)
{
    number_ = number;
    description_ = description;
}

void ErrorReporter::clearCurrent()
{
    number_ = 0;
    description_.clear();
}

void ErrorReporter::captureCurrentException()
{
    try {
        throw;
    } catch (const QyrError &e) {
        setCurrent(e.number(), e.description());
    } catch (const std::bad_alloc &) {
        setCurrent(7, QStringLiteral("Memoria esaurita"));
    } catch (const std::exception &e) {
        setCurrent(err::Unexpected, QStringLiteral("Errore imprevisto: %1").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        setCurrent(err::Unexpected, errorDescription(err::Unexpected));
    }
}

} // namespace qyr
