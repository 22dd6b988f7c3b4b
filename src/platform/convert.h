#pragma once
// Number and Boolean conversions with the widths and rounding the program's
// behaviour depends on: 16- and 32-bit integers, single precision, halves
// rounded to even, texts read and written in the user's locale (QLocale()).
// The try forms hand back the number or the failure: 13 (type mismatch) or
// 6 (overflow). The to forms are their value(), which raises that failure:
// for a caller whose own guard is in the same function.
#include "result.h"

#include <QString>
#include <QVariant>
#include <QtGlobal>

namespace qyr::conv {

bool isNumeric(const QString &text);
Result<double> tryDouble(const QString &text); // locale decimal, thousands separators refused
Result<float> trySingle(const QString &text);
Result<qint16> tryInt16(const QString &text); // rounds halves to even
Result<qint32> tryInt32(const QString &text);
Result<qint16> tryInt16(double value);
Result<qint32> tryInt32(double value);
Result<bool> tryBool(const QString &text); // "True"/"False" in any case, or a number (0 = false)
// A number handed over as a variant: a text in the user's format, or what
// the variant holds as a number; anything else is a type mismatch.
Result<qint32> tryInt32(const QVariant &value);

double toDouble(const QString &text);
float toSingle(const QString &text);
qint16 toInt16(const QString &text);
qint32 toInt32(const QString &text);
qint16 toInt16(double value);
qint32 toInt32(double value);
bool toBool(const QString &text);

QString fromBool(bool value);     // "True" / "False"
QString fromSingle(float value);  // up to 7 significant digits, locale decimal
QString fromDouble(double value); // up to 15 significant digits, locale decimal
double roundHalfEven(double value);

} // namespace qyr::conv
