#pragma once
// Number and Boolean conversions with the widths and rounding the program's
// behaviour depends on: 16- and 32-bit integers, single precision, halves
// rounded to even, texts read and written in the user's locale (QLocale()).
// Every failed conversion throws QyrError 13 (type mismatch) or 6 (overflow).
#include <QString>
#include <QtGlobal>

namespace qyr::conv {

bool isNumeric(const QString &text);
double toDouble(const QString &text);      // locale decimal, thousands separators refused
float toSingle(const QString &text);
qint16 toInt16(const QString &text);       // rounds halves to even
qint32 toInt32(const QString &text);
qint16 toInt16(double value);
qint32 toInt32(double value);
bool toBool(const QString &text);          // "True"/"False" in any case, or a number (0 = false)
QString fromBool(bool value);              // "True" / "False"
QString fromSingle(float value);           // up to 7 significant digits, locale decimal
QString fromDouble(double value);          // up to 15 significant digits, locale decimal
double roundHalfEven(double value);

} // namespace qyr::conv
