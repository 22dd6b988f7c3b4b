#include "regfile.h"

#include <QtEndian>
#include <array>
#include <optional>

namespace qyr::regfile {

namespace {

// Bytes 0x80 to 0x9F of Windows-1252; 0 marks the five undefined ones.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

const QString kCrLf = QStringLiteral("\r\n");

// The text of a string value without the terminating NULs the registry keeps
// (only NULs are dropped, so a value saved without its terminator loses nothing).
QString withoutNuls(const QByteArray &data, int nuls)
{
    QString s = fromUtf16Le(data);
    for (int i = 0; i < nuls && s.endsWith(QChar(0)); ++i)
        s.chop(1);
    return s;
}

bool isDrivePath(const QString &t)
{
    if (t.size() < 3)
        return false;
    const char16_t c = t[0].unicode();
    const bool first = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ',';
    return first && t[1] == QLatin1Char(':') && t[2] == QLatin1Char('\\');
}

// A drive path has every backslash doubled, as the registry editor expects.
// Elsewhere a backslash stays single, except where the reader would take it
// for part of an escape (before another backslash, a quote, or at the end);
// quotes are always escaped, so any text reads back as it was written.
QString quoted(const QString &t, bool doubleEveryBackslash)
{
    QString out = QStringLiteral("\"");
    for (int i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == QLatin1Char('\\')) {
            const bool ambiguous = i + 1 == t.size() || t[i + 1] == QLatin1Char('\\') || t[i + 1] == QLatin1Char('"');
            out += (doubleEveryBackslash || ambiguous) ? QStringLiteral("\\\\") : QStringLiteral("\\");
        } else if (c == QLatin1Char('"')) {
            out += QStringLiteral("\\\"");
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('"');
}

QString hexByte(uchar b) { return QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0')); }

QString hexList(const QByteArray &data)
{
    QStringList bytes;
    for (char b : data)
        bytes << hexByte(uchar(b));
    return bytes.join(QLatin1Char(','));
}

QString valueText(const RegValue &v, int *unmappable, Format format)
{
    switch (v.type) {
    case regtype::String:
    case regtype::ExpandString:
    case regtype::MultiString: {
        const QString t = withoutNuls(v.data, v.type == regtype::MultiString ? 2 : 1);
        if (!t.contains(QLatin1Char('\r')) && !t.contains(QLatin1Char('\n')))
            return quoted(t, isDrivePath(t));
        // A line break cannot stand inside a quoted text of this line-based
        // format: such a text goes as its bytes, NULs included, under its own
        // kind, which the file's readers turn back into the same value.
        if (format == Format::Version5)
            return QStringLiteral("hex(%1):").arg(v.type, 0, 16) + hexList(v.data);
        int lost = 0;
        const QByteArray ansi = toWindows1252(fromUtf16Le(v.data), &lost);
        if (unmappable)
            *unmappable += lost;
        return QStringLiteral("hex(%1):").arg(v.type, 0, 16) + hexList(ansi);
    }
    case regtype::DWord: {
        QByteArray d = v.data.left(4);
        d.append(QByteArray(4 - d.size(), '\0'));
        return QStringLiteral("dword:") + QString::number(qFromLittleEndian<quint32>(d.constData()), 16)
                                              .toUpper()
                                              .rightJustified(8, QLatin1Char('0'));
    }
    case regtype::Binary: return QStringLiteral("hex:") + hexList(v.data);
    default: return QString(); // the format has no plain form for other kinds
    }
}

// ---- reading ----

// Why a file is refused, naming the line at fault.
Failure lineFailure(int line, const QString &what)
{
    return Failure{err::InvalidFileFormat, QStringLiteral("Riga %1: %2").arg(line).arg(what)};
}

QString fromUtf16Be(const QByteArray &d)
{
    QByteArray swapped(d.size() & ~1, '\0');
    for (int i = 0; i + 1 < d.size(); i += 2) {
        swapped[i] = d[i + 1];
        swapped[i + 1] = d[i];
    }
    return fromUtf16Le(swapped);
}

// By the byte order mark: UTF-16LE (version 5 files, as this program and the
// registry editor write them), UTF-16BE, UTF-8, or the ANSI code page. A
// UTF-16LE file that lost its mark is known by its first character.
// *cutShort: a UTF-16 file with an odd number of bytes, whose last character is gone.
QString decode(const QByteArray &bytes, bool *cutShort)
{
    *cutShort = false;
    QByteArray units;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        units = bytes.mid(2);
    else if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0')
        units = bytes;
    else if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    else
        return fromWindows1252(bytes);
    *cutShort = units.size() % 2 != 0;
    return bytes.startsWith("\xFE\xFF") ? fromUtf16Be(units) : fromUtf16Le(units);
}

// The lines of a text one at a time, each ending with CR LF, LF or CR: a
// file of millions of short lines is never held as millions of strings.
class Lines {
public:
    explicit Lines(const QString &text) : text_(text) {}
    bool next(QString &line)
    {
        if (pos_ >= text_.size())
            return false;
        qsizetype end = pos_;
        while (end < text_.size() && text_[end] != QLatin1Char('\r') && text_[end] != QLatin1Char('\n'))
            ++end;
        line = text_.mid(pos_, end - pos_);
        if (end + 1 < text_.size() && text_[end] == QLatin1Char('\r') && text_[end + 1] == QLatin1Char('\n'))
            ++end;
        pos_ = end + 1;
        return true;
    }

private:
    const QString &text_;
    qsizetype pos_ = 0;
};

// Nothing but blanks or a ";" comment from `from` on.
bool onlyComment(const QString &s, int from)
{
    while (from < s.size() && s[from].isSpace())
        ++from;
    return from == s.size() || s[from] == QLatin1Char(';');
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool parseHex(const QString &s, quint32 *out)
{
    if (s.isEmpty() || s.size() > 8)
        return false;
    quint32 v = 0;
    for (QChar c : s) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | quint32(d);
    }
    *out = v;
    return true;
}

class Reader {
public:
    Reader(const QString &text, int maxEntries) : lines_(text), maxEntries_(maxEntries) {}

    Result<Parsed> run()
    {
        Parsed p;
        const QString header = advance() ? line_.trimmed() : QString();
        if (header == QLatin1String("REGEDIT4"))
            p.format = Format::Regedit4;
        else if (header == QLatin1String("Windows Registry Editor Version 5.00"))
            p.format = Format::Version5;
        else
            return lineFailure(1, QStringLiteral("il file non comincia con \"REGEDIT4\" né con "
                                                 "\"Windows Registry Editor Version 5.00\"."));
        format_ = p.format;
        while (advance()) {
            const QString &t = line_;
            int pos = 0;
            while (pos < t.size() && t[pos].isSpace())
                ++pos;
            if (pos == t.size() || t[pos] == QLatin1Char(';'))
                continue;
            std::optional<Entry> e;
            if (t[pos] == QLatin1Char('['))
                e = keyEntry(t, pos);
            else if (t[pos] == QLatin1Char('"') || t[pos] == QLatin1Char('@'))
                e = valueEntry(pos);
            else
                return lineFailure(row_ + 1,
                                   QStringLiteral("riga non riconosciuta: non è né una chiave né un valore."));
            if (!e)
                return *failure_;
            p.entries.append(*e);
            if (p.entries.size() > maxEntries_)
                return lineFailure(row_ + 1, QStringLiteral("il file contiene più di %1 chiavi e valori, il limite "
                                                            "di un file di impostazioni.")
                                                 .arg(maxEntries_));
        }
        return p;
    }

private:
    // Notes why the file is refused; the reading stops there.
    std::nullopt_t fail(int line, const QString &what)
    {
        failure_ = lineFailure(line, what);
        return std::nullopt;
    }

    std::optional<Entry> keyEntry(const QString &t, int pos)
    {
        const int line = row_ + 1;
        const int close = t.lastIndexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(line, QStringLiteral("manca la parentesi quadra di chiusura del nome della chiave."));
        if (!onlyComment(t, close + 1))
            return fail(line, QStringLiteral("caratteri in più dopo il nome della chiave."));
        QString name = t.mid(pos + 1, close - pos - 1);
        Entry e;
        e.line = line;
        e.kind = Entry::Key;
        if (name.startsWith(QLatin1Char('-'))) {
            e.kind = Entry::DeleteKey;
            name.remove(0, 1);
        }
        QStringList parts = name.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
        const QString root = parts.isEmpty() ? QString() : parts.takeFirst();
        static const QStringList roots{QStringLiteral("HKEY_CLASSES_ROOT"),   QStringLiteral("HKEY_CURRENT_USER"),
                                       QStringLiteral("HKEY_LOCAL_MACHINE"),  QStringLiteral("HKEY_USERS"),
                                       QStringLiteral("HKEY_CURRENT_CONFIG"), QStringLiteral("HKEY_DYN_DATA")};
        if (!root.startsWith(QLatin1String("HKEY_"), Qt::CaseInsensitive))
            return fail(line, QStringLiteral("il nome della chiave \"%1\" non comincia con una radice del registro "
                                             "come HKEY_CURRENT_USER.")
                                  .arg(name));
        if (!roots.contains(root, Qt::CaseInsensitive))
            return fail(line, QStringLiteral("radice del registro sconosciuta: %1.").arg(root));
        e.root = root;
        e.path = parts.join(QLatin1Char('\\'));
        key_ = e;
        haveKey_ = true;
        return e;
    }

    std::optional<Entry> valueEntry(int pos)
    {
        const int line = row_ + 1;
        if (!haveKey_)
            return fail(line, QStringLiteral("valore che non appartiene a nessuna chiave."));
        Entry e;
        e.line = line;
        e.root = key_.root;
        e.path = key_.path;
        const QString &t = line_;
        if (t[pos] == QLatin1Char('@'))
            ++pos;
        else if (const std::optional<QString> name = quotedAt(pos))
            e.value.name = *name;
        else
            return std::nullopt;
        while (pos < t.size() && t[pos].isSpace())
            ++pos;
        if (pos == t.size() || t[pos] != QLatin1Char('='))
            return fail(line, QStringLiteral("manca il segno \"=\" dopo il nome del valore."));
        ++pos;
        while (pos < t.size() && t[pos].isSpace())
            ++pos;
        e.kind = key_.kind == Entry::DeleteKey ? Entry::Skipped : Entry::SetValue;
        const QString rest = t.mid(pos);
        if (onlyComment(t, pos)) {
            e.kind = Entry::Skipped; // no data: the registry editor leaves such a value alone
        } else if (rest.startsWith(QLatin1Char('-')) && onlyComment(rest, 1)) {
            if (e.kind != Entry::Skipped)
                e.kind = Entry::DeleteValue;
        } else if (rest.startsWith(QLatin1Char('"'))) {
            const std::optional<QString> text = stringData(pos);
            if (!text)
                return std::nullopt;
            const RegValue v = RegValue::fromText(e.value.name, *text);
            e.value.type = v.type;
            e.value.data = v.data;
        } else if (rest.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            QString digits = rest.mid(6);
            const int semi = digits.indexOf(QLatin1Char(';'));
            if (semi >= 0)
                digits.truncate(semi);
            quint32 n = 0;
            if (!parseHex(digits.trimmed(), &n))
                return fail(line,
                            QStringLiteral("numero dword non valido: \"%1\" (servono da 1 a 8 cifre esadecimali).")
                                .arg(digits.trimmed()));
            e.value.type = regtype::DWord;
            e.value.data = RegValue::fromDWord(QString(), n).data;
        } else if (rest.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            if (!hexValue(e, rest.mid(3)))
                return std::nullopt;
        } else {
            return fail(line, QStringLiteral("tipo di dato sconosciuto: si attende una stringa tra virgolette, "
                                             "dword:, hex: o hex(n):."));
        }
        return e;
    }

    // Reads a quoted text starting at `pos` of the current line; on return
    // pos is just past the closing quote. False when the line ends first.
    bool readQuoted(int &pos, QString &out) const
    {
        const QString &t = line_;
        for (++pos; pos < t.size(); ++pos) {
            const QChar c = t[pos];
            if (c == QLatin1Char('"')) {
                ++pos;
                return true;
            }
            if (c == QLatin1Char('\\') && pos + 1 < t.size() &&
                (t[pos + 1] == QLatin1Char('\\') || t[pos + 1] == QLatin1Char('"')))
                ++pos;
            out += t[pos];
        }
        return false;
    }

    std::optional<QString> quotedAt(int &pos)
    {
        QString out;
        if (!readQuoted(pos, out))
            return fail(row_ + 1, QStringLiteral("stringa non chiusa: manca la virgoletta finale."));
        return out;
    }

    // The text of a string value whose opening quote is at `pos`. The old
    // exporter never escaped quotes or backslashes, so a line that does not
    // read as escaped text ("Capitolo "uno"", or "fine \" with its last
    // backslash) is read as it meant it: the text runs to the line's last
    // quote, with the backslashes it doubled in a drive path halved again.
    // Anything but blanks or a comment after that quote is still refused.
    std::optional<QString> stringData(int pos)
    {
        const QString &t = line_;
        int end = pos;
        QString text;
        const bool closed = readQuoted(end, text);
        if (closed && onlyComment(t, end))
            return text;
        const int last = t.lastIndexOf(QLatin1Char('"'));
        if (last <= pos || !onlyComment(t, last + 1))
            return fail(row_ + 1, closed ? QStringLiteral("caratteri in più dopo la stringa chiusa.")
                                         : QStringLiteral("stringa non chiusa: manca la virgoletta finale."));
        text = t.mid(pos + 1, last - pos - 1);
        if (text.size() >= 4 && text[1] == QLatin1Char(':') && text.mid(2, 2) == QLatin1String("\\\\") &&
            isDrivePath(text))
            text.replace(QLatin1String("\\\\"), QLatin1String("\\"));
        return text;
    }

    // After "hex": either ":" (binary) or "(n):" with the kind n in hexadecimal.
    // False when refused.
    bool hexValue(Entry &e, QString rest)
    {
        const int line = row_ + 1;
        quint32 type = regtype::Binary;
        if (rest.startsWith(QLatin1Char('('))) {
            const int close = rest.indexOf(QLatin1Char(')'));
            if (close < 0 || !parseHex(rest.mid(1, close - 1), &type))
                return refuse(line,
                              QStringLiteral("tipo hex(n) non valido: \"%1\".").arg(QStringLiteral("hex") + rest));
            rest.remove(0, close + 1);
        }
        if (!rest.startsWith(QLatin1Char(':')))
            return refuse(line, QStringLiteral("manca \":\" dopo hex."));
        rest.remove(0, 1);
        QByteArray bytes;
        for (;;) {
            QString part = rest.trimmed();
            const bool more = part.endsWith(QLatin1Char('\\'));
            if (more)
                part.chop(1);
            const QStringList items = part.split(QLatin1Char(','));
            for (int i = 0; i < items.size(); ++i) {
                const QString item = items[i].trimmed();
                if (item.isEmpty() && i == items.size() - 1)
                    break; // nothing after a final comma
                quint32 b = 0;
                if (item.size() > 2 || !parseHex(item, &b))
                    return refuse(row_ + 1, QStringLiteral("byte esadecimale non valido: \"%1\".").arg(item));
                bytes.append(char(b));
            }
            if (!more)
                break;
            if (!advance())
                return refuse(row_ + 1, QStringLiteral("il valore continua con \"\\\" ma il file finisce."));
            rest = line_;
        }
        // REGEDIT4 files hold the text kinds in the ANSI code page; the
        // registry keeps them in UTF-16.
        if (format_ == Format::Regedit4 &&
            (type == regtype::String || type == regtype::ExpandString || type == regtype::MultiString))
            bytes = toUtf16Le(fromWindows1252(bytes));
        e.value.type = type;
        e.value.data = bytes;
        return true;
    }

    bool refuse(int line, const QString &what)
    {
        fail(line, what);
        return false;
    }

    // The next line becomes the current one; false at the end of the text.
    bool advance()
    {
        if (!lines_.next(line_))
            return false;
        ++row_;
        return true;
    }

    Lines lines_;
    const int maxEntries_;
    QString line_;
    int row_ = -1; // of line_, counting from 0
    Format format_ = Format::Regedit4;
    Entry key_;
    bool haveKey_ = false;
    std::optional<Failure> failure_;
};

} // namespace

QByteArray toWindows1252(const QString &text, int *unmappable)
{
    QByteArray out;
    out.reserve(text.size());
    int lost = 0;
    for (int i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || (u >= 0x80 && u <= 0x9F && kHigh[u - 0x80] == 0)) {
            out.append(char(u));
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32 && found < 0; ++k)
            if (kHigh[k] == u)
                found = k;
        if (found >= 0) {
            out.append(char(0x80 + found));
            continue;
        }
        // A character outside the code page; a surrogate pair is one character.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        out.append('?');
        ++lost;
    }
    if (unmappable)
        *unmappable = lost;
    return out;
}

QString fromWindows1252(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const uchar b = uchar(ch);
        out.append(QChar(b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] ? kHigh[b - 0x80] : char16_t(b)));
    }
    return out;
}

QString keyLine(const QString &fullKeyName) { return QLatin1Char('[') + fullKeyName + QLatin1Char(']') + kCrLf; }

QString valueLine(const RegValue &value, int *unmappable, Format format)
{
    const QString name = value.name.isEmpty() ? QStringLiteral("@") : quoted(value.name, false);
    return name + QLatin1Char('=') + valueText(value, unmappable, format) + kCrLf;
}

Result<Parsed> tryParse(const QByteArray &bytes, int maxEntries)
{
    bool cutShort = false;
    const QString text = decode(bytes, &cutShort);
    if (cutShort) { // refused rather than read without its last character
        int lines = 0;
        QString line;
        for (Lines all(text); all.next(line);)
            ++lines;
        const bool brokenLineEmpty =
            text.isEmpty() || text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'));
        return lineFailure(lines + (brokenLineEmpty ? 1 : 0),
                           QStringLiteral("il file UTF-16 è troncato: finisce a metà di un carattere."));
    }
    return Reader(text, maxEntries).run();
}

Parsed parse(const QByteArray &bytes, int maxEntries) { return tryParse(bytes, maxEntries).value(); }

} // namespace qyr::regfile
