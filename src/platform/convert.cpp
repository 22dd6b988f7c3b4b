#include "convert.h"
#include "errors.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace qyr::conv {

namespace {

bool parse(const QString &text, double *out)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    QLocale loc;
    loc.setNumberOptions(QLocale::RejectGroupSeparator);
    double v = loc.toDouble(t, &ok);
    if (!ok) {
        // A plain C-style number is accepted too, as long as the locale's own
        // decimal separator is not something else that the text also uses.
        v = QLocale::c().toDouble(t, &ok);
        if (ok && loc.decimalPoint() != QLatin1String(".") && t.contains(loc.groupSeparator()))
            ok = false;
    }
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

template <typename T>
T toInteger(double v)
{
    const double r = roundHalfEven(v);
    if (r < double(std::numeric_limits<T>::min()) || r > double(std::numeric_limits<T>::max()))
        throw QyrError(err::Overflow);
    return static_cast<T>(r);
}

} // namespace

double roundHalfEven(double value)
{
    return std::nearbyint(value); // default rounding mode is to nearest, ties to even
}

bool isNumeric(const QString &text)
{
    double v;
    return parse(text, &v);
}

double toDouble(const QString &text)
{
    double v;
    if (!parse(text, &v))
        throw QyrError(err::TypeMismatch,
                       QStringLiteral("Tipo non corrispondente: \"%1\" non è un numero").arg(text));
    return v;
}

float toSingle(const QString &text)
{
    const double v = toDouble(text);
    if (std::fabs(v) > double(std::numeric_limits<float>::max()))
        throw QyrError(err::Overflow);
    return static_cast<float>(v);
}

qint16 toInt16(const QString &text) { return toInteger<qint16>(toDouble(text)); }
qint32 toInt32(const QString &text) { return toInteger<qint32>(toDouble(text)); }
qint16 toInt16(double value) { return toInteger<qint16>(value); }
qint32 toInt32(double value) { return toInteger<qint32>(value); }

bool toBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return toDouble(t) != 0.0;
}

QString fromBool(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

QString fromSingle(float value)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(double(value), 'g', 7);
}

QString fromDouble(double value)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(value, 'g', 15);
}

} // namespace qyr::conv
