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
Result<T> toInteger(double v)
{
    const double r = roundHalfEven(v);
    if (r < double(std::numeric_limits<T>::min()) || r > double(std::numeric_limits<T>::max()))
        return Failure::of(err::Overflow);
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

Result<double> tryDouble(const QString &text)
{
    double v;
    if (!parse(text, &v))
        return Failure{err::TypeMismatch, QStringLiteral("Tipo non corrispondente: \"%1\" non è un numero").arg(text)};
    return v;
}

Result<float> trySingle(const QString &text)
{
    const Result<double> v = tryDouble(text);
    if (!v)
        return v.failure();
    if (std::fabs(*v) > double(std::numeric_limits<float>::max()))
        return Failure::of(err::Overflow);
    return static_cast<float>(*v);
}

Result<qint16> tryInt16(double value) { return toInteger<qint16>(value); }
Result<qint32> tryInt32(double value) { return toInteger<qint32>(value); }

Result<qint16> tryInt16(const QString &text)
{
    const Result<double> v = tryDouble(text);
    return v ? toInteger<qint16>(*v) : Result<qint16>(v.failure());
}

Result<qint32> tryInt32(const QString &text)
{
    const Result<double> v = tryDouble(text);
    return v ? toInteger<qint32>(*v) : Result<qint32>(v.failure());
}

Result<qint32> tryInt32(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return tryInt32(value.toString());
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok)
        return Failure::of(err::TypeMismatch);
    return tryInt32(d);
}

Result<bool> tryBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    const Result<double> v = tryDouble(t);
    if (!v)
        return v.failure();
    return *v != 0.0;
}

double toDouble(const QString &text) { return tryDouble(text).value(); }
float toSingle(const QString &text) { return trySingle(text).value(); }
qint16 toInt16(const QString &text) { return tryInt16(text).value(); }
qint32 toInt32(const QString &text) { return tryInt32(text).value(); }
qint16 toInt16(double value) { return tryInt16(value).value(); }
qint32 toInt32(double value) { return tryInt32(value).value(); }
bool toBool(const QString &text) { return tryBool(text).value(); }

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
