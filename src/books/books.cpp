#include "books.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/daisy.h"
#include "../platform/dialogs.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/files.h"
#include "bookview.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace qyr {

namespace {
const QString kIndex = QStringLiteral("Index.htm");
const QString kChooserTitle = QStringLiteral("Apri un libro");
const QString kNoneOpened = QStringLiteral("Nessun libro aperto: si continua con quello di prima.");
// A table of contents names itself near its top; a huge index is not read whole for that.
constexpr qint64 kIndexHeadBytes = 64 * 1024;
constexpr qint64 kIndexMaxBytes = 16 * 1024 * 1024; // a contents page, however long

// Books made on Windows are often in its Western code page rather than UTF-8.
QString decodePage(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder western("windows-1252");
    return western.isValid() ? western(bytes) : QString::fromLatin1(bytes);
}

// The character references a title is likely to hold: numbers, the markup
// characters and the accented vowels of Italian.
QString decodeReferences(QString text)
{
    static const QRegularExpression ref(QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[a-zA-Z]+);"));
    static const QHash<QString, QString> named{{"amp", "&"},    {"lt", "<"},     {"gt", ">"},     {"quot", "\""},
                                               {"apos", "'"},   {"nbsp", " "},   {"agrave", "à"}, {"egrave", "è"},
                                               {"eacute", "é"}, {"igrave", "ì"}, {"ograve", "ò"}, {"ugrave", "ù"},
                                               {"Agrave", "À"}, {"Egrave", "È"}, {"Eacute", "É"}, {"laquo", "«"},
                                               {"raquo", "»"},  {"rsquo", "’"},  {"ndash", "–"},  {"mdash", "—"}};
    QString out;
    qsizetype last = 0;
    for (auto it = ref.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        QString replacement = m.captured(0);
        if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'));
            const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF)
                replacement = QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        } else if (named.contains(name)) {
            replacement = named.value(name);
        }
        out += QStringView(text).mid(last, m.capturedStart() - last);
        out += replacement;
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}
} // namespace

QString bookFolderOf(IFiles &files, const QString &folderOrIndex, IDaisyReader *daisy, IBookArchives *archives)
{
    QString given = pathFromAddress(folderOrIndex);
    if (given.isEmpty())
        return QString();
    if (archives && archives->isArchive(given)) {
        const Result<QString> folder = archives->openArchive(given);
        if (!folder)
            return QString();
        given = *folder;
    }
    if (files.folderExists(given)) {
        if (files.fileExists(joinPath(given, kIndex)))
            return given;
        return daisy && daisy->formatOf(given) ? given : QString();
    }
    // A DAISY book's navigation file or package names its folder.
    const QString name = given.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1).toLower();
    if (daisy && (name == QLatin1String("ncc.html") || name == QLatin1String("ncc.htm") || name.endsWith(QLatin1String(".opf"))) &&
        files.fileExists(given) && daisy->formatOf(folderOf(given)))
        return folderOf(given);
    if (given.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1).compare(kIndex, Qt::CaseInsensitive) == 0 &&
        files.fileExists(given))
        return folderOf(given);
    return QString();
}

QString bookTitleOf(IFiles &files, const QString &folder)
{
    constexpr auto options = QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption;
    static const QRegularExpression heading(QStringLiteral("<h1[^>]*>(.*?)</h1\\s*>"), options);
    static const QRegularExpression title(QStringLiteral("<title[^>]*>(.*?)</title\\s*>"), options);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    const QString index = files.resolve(joinPath(folder, kIndex));
    // A contents page that cannot be read leaves the folder's name to name the book.
    if (const Result<QByteArray> read =
            files.readFile(index.isEmpty() ? joinPath(folder, kIndex) : index, kIndexMaxBytes)) {
        const QString page = decodePage(read->left(kIndexHeadBytes));
        // The heading the book opens with names the book itself ("Il faro di
        // Punta Lunga"); the page's title often names the page ("Sommario - ...").
        for (const QRegularExpression *re : {&heading, &title}) {
            const QRegularExpressionMatch m = re->match(page);
            const QString found = m.hasMatch() ? decodeReferences(m.captured(1).remove(tag)).simplified() : QString();
            if (!found.isEmpty())
                return found;
        }
    }
    QString name = folder;
    while (name.size() > 1 && (name.endsWith(QLatin1Char('/')) || name.endsWith(QLatin1Char('\\'))))
        name.chop(1);
    return name.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
}

QString notABook(IFiles &files, const QString &folderOrIndex, IDaisyReader *daisy, IBookArchives *archives)
{
    if (archives && archives->isArchive(pathFromAddress(folderOrIndex))) {
        const Result<QString> folder = archives->openArchive(pathFromAddress(folderOrIndex));
        if (!folder)
            return folder.failure().description;
        if (!bookFolderOf(files, *folder, daisy).isEmpty())
            return QString();
        if (const QString refused = daisy ? daisy->refusal(*folder) : QString(); !refused.isEmpty())
            return refused;
        return QStringLiteral("L'archivio %1 non contiene un libro leggibile: vi si trova il file di un libro, ma non "
                              "un libro DAISY o EPUB completo né un sommario Index.htm.")
            .arg(*folder);
    }
    if (!bookFolderOf(files, folderOrIndex, daisy).isEmpty())
        return QString();
    if (const QString refused = daisy ? daisy->refusal(pathFromAddress(folderOrIndex)) : QString(); !refused.isEmpty())
        return refused;
    return QStringLiteral("La cartella %1 non contiene un libro: non vi si trova né Index.htm, né ncc.html, né il "
                          "pacchetto (.opf) di un libro DAISY.")
        .arg(pathFromAddress(folderOrIndex));
}

Books::Books(Uses uses) : OpenBook(uses.appFolder), u(std::move(uses)) {}

namespace {

// An identifier without the volume's number at its end ("db12345-1": "db12345").
QString identifierStem(QString id)
{
    static const QRegularExpression tail(QStringLiteral("[\\s._-]*(?:v|vol)?[\\s._-]*\\d+$"),
                                         QRegularExpression::CaseInsensitiveOption);
    return id.remove(tail).trimmed().toLower();
}

} // namespace

QString Books::nextVolume() const
{
    const daisy::Book *b = daisyBook();
    if (!b || !u.daisy || b->volume < 1 || b->volume >= b->volumes)
        return QString();
    const QString parent = folderOf(folder_);
    const QString stem = identifierStem(b->identifier);
    // Beside it, a folder or a zip of the same set.
    QStringList candidates;
    for (const QString &name : u.files.folders(parent))
        candidates << joinPath(parent, name);
    if (u.archives)
        for (const QString &name : u.files.files(parent, QStringLiteral("*.zip;*.daisy")))
            if (const Result<QString> opened = u.archives->openArchive(joinPath(parent, name)))
                candidates << *opened;
    for (const QString &folder : std::as_const(candidates)) {
        if (u.files.sameFile(folder, folder_) || folder == folder_)
            continue;
        const std::optional<daisy::Book> v = u.daisy->volumeOf(folder);
        if (!v || v->volume != b->volume + 1 || v->volumes != b->volumes)
            continue;
        if ((!stem.isEmpty() && identifierStem(v->identifier) == stem) ||
            (!b->title.isEmpty() && v->title.simplified() == b->title.simplified()))
            return folder;
    }
    return QString();
}

void Books::openAtStart()
{
    Guard(u.er, QStringLiteral("Apertura del libro"), [&] { enter(folder_); });
}

// The book's own settings opened and the book remembered for the next start:
// one durable save at most, and none when nothing changed.
void Books::enter(const QString &folder)
{
    u.view.transaction([&] {
        u.view.openBook(folder);
        u.view.setLastBook(folder);
    });
    daisy_.reset();
    if (u.daisy && !u.files.fileExists(joinPath(folder, kIndex)))
        daisy_ = u.daisy->open(folder);
    title_ = daisy_ && !daisy_->title.trimmed().isEmpty() ? daisy_->title.simplified() : bookTitleOf(u.files, folder);
}

void Books::chooseAndOpen()
{
    Guard(u.er, QStringLiteral("Apri libro"), [&] {
        const auto refuse = [this](const QString &folder) { return notABook(u.files, folder, u.daisy, u.archives); };
        const std::optional<QString> chosen = u.dialogs.chooseFolder(kChooserTitle, folderOf(folder_), refuse);
        if (!chosen || chosen->isEmpty()) {
            u.say(kNoneOpened);
            return;
        }
        open(*chosen);
    });
}

bool Books::open(const QString &folderOrIndex)
{
    const QString folder = bookFolderOf(u.files, folderOrIndex, u.daisy, u.archives);
    if (folder.isEmpty()) {
        // No book there (a zip refused, a folder gone with a removed drive):
        // the book being read stays.
        u.dialogs.message(kChooserTitle, notABook(u.files, folderOrIndex, u.daisy, u.archives), Buttons::Ok,
                          Icon::Warning);
        u.say(kNoneOpened);
        return false;
    }
    // The book being left keeps its place, as at exit.
    Leaving();
    u.stopPlayer();
    enter(folder);
    folder_ = folder;
    // The messages the last book's contents page worded its own way are not
    // this book's: its own contents page words them again when it loads.
    u.entered();
    u.say(QStringLiteral("Libro aperto: %1").arg(folder));
    return true;
}

} // namespace qyr
