#pragma once
// A DAISY book read into memory: its headings, print pages and phrases in
// reading order, with the lookups the reading keys need, each O(log n) or
// better, built once when the book is read. Indexes of headings, pages and
// phrases are positions in the vectors below; -1 means none.
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace qyr::daisy {

enum class Format { Daisy2, Daisy3, Epub3 };

struct Phrase {
    QString smil;         // the SMIL file's name as on disk
    QString id;           // the par's id, else its text's
    QString textFile;     // the content file the text points to (as on disk), empty when none
    QString textFragment; // the element in it
    QString audio;        // the audio file's name as on disk (as written when missing), empty when none
    double clipBegin = 0; // seconds
    double clipEnd = 0;
    double start = 0; // offset of the clip's start in the whole book
    // A page number, note, sidebar or producer's note: read like any other
    // phrase unless the reader chooses to skip them.
    bool skippable = false;
    // A further clip of the par before it (a <seq> of clips in one par, not
    // following straight on): played in turn, counted with it as one phrase.
    bool continues = false;
    // Written without an end: the clip runs to the end of its file, whose
    // length the reader of the book fills in.
    bool toFileEnd = false;
    double length() const { return clipEnd - clipBegin; }
    // "file.smil#id": how a place in the book is saved.
    QString name() const { return smil + QLatin1Char('#') + id; }
};

// Where a heading or page points: a SMIL file and an element in it, and the first phrase found there.
struct Target {
    QString smil;
    QString id;
    int phrase = -1;
};

struct Heading {
    QString text;
    int level = 1; // 1..6
    Target target;
};

struct Page {
    QString label; // as written: "12", "xii"
    Target target;
};

class Book {
public:
    Format format = Format::Daisy2;
    QString title;
    // A book in several volumes: this one's number and how many there are
    // (ncc:setInfo "1 of 2"), 0 for a book in one; and its dc:identifier.
    int volume = 0, volumes = 0;
    QString identifier;
    QString language; // dc:language as written, empty when not given
    std::vector<Heading> headings;
    std::vector<Page> pages;
    std::vector<Phrase> phrases;
    QStringList problems; // in Italian, each once

    // An element of a SMIL file (its name as on disk) and the first phrase
    // at or after it, as the SMIL files are read; the headings and pages are
    // placed by these before finish().
    void addAnchor(const QString &smil, const QString &id, int phrase);
    int anchor(const QString &smil, const QString &id) const;
    // An element of a text file (its name as on disk; an empty id: the file
    // itself) and the first phrase at or after it, as the reader of an EPUB
    // found them: where a link of the text leads. The first one given holds.
    void addTextAnchor(const QString &textFile, const QString &id, int phrase);
    // The file's name in any letter case; -1 when the reading never gets there.
    int phraseOfText(const QString &textFile, const QString &id) const;

    // Works out the offsets, the total time and the indexes below; called once
    // the vectors are filled. Headings and pages without a phrase take the next one found.
    void finish();

    double totalTime() const { return total_; }
    int depth() const { return depth_; }      // the deepest heading level, 0 without headings
    bool hasText() const { return hasText_; }   // some phrase has text of its own
    bool hasAudio() const { return hasAudio_; } // some phrase has audio; none: a book of text alone

    int phraseAt(double seconds) const; // the phrase playing at that time of the book
    int headingOf(int phrase) const;    // the heading whose part holds the phrase
    int pageOf(int phrase) const;
    // At "Livello n": headings of level n or higher (1..n); 0 for all levels.
    // Previous is the heading before the one being read, never the start of the current one.
    int nextHeading(int phrase, int level) const;
    int previousHeading(int phrase, int level) const;
    int nextPage(int phrase) const;
    int previousPage(int phrase) const;
    int pageByLabel(const QString &label) const; // any letter case, spaces around ignored
    // The last phrase of the run the phrase begins or belongs to: following
    // clips of the same audio file that begin where the one before ends, so
    // that the player plays straight through without a seek.
    int runEnd(int phrase) const;
    // The book's phrases as the reader counts them, one per par: the one a
    // clip belongs to (0 on), where each begins, and how many there are.
    int sentenceOf(int phrase) const;
    int sentenceStart(int sentence) const;
    int sentences() const { return int(sentenceStart_.size()); }
    // The first phrase whose name (Phrase::name()) is exactly this.
    int phraseNamed(const QString &name) const;
    // A link into a SMIL file by its name alone (any letter case, any
    // folder): the first phrase of that id in such a file, else the first
    // phrase of the first such file.
    int phraseOfLink(const QString &fileName, const QString &id) const;
    // The first phrase whose clip of the audio file (any letter case) holds
    // the position, in seconds of that file.
    int phraseHolding(const QString &audio, double position) const;

    void addProblem(const QString &text);

private:
    struct Mark {
        int phrase; // the first phrase of the heading or page
        int index;  // the heading or page
    };
    // An audio file's clips by their start, with the latest end up to each,
    // so that the clips holding a time are found without a walk of them all.
    struct Clips {
        std::vector<int> phrases;
        std::vector<double> latestEnd;
    };
    static int lastAtOrBefore(const std::vector<Mark> &marks, int phrase);
    static int firstAfter(const std::vector<Mark> &marks, int phrase);
    static int compareName(const Phrase &p, QStringView smil, QStringView id);
    int phraseIn(QStringView smil, QStringView id) const;
    void placeClips();
    void settleTargets();
    void markHeadings();
    void markPages();
    void indexNames();
    void indexAudio();

    double total_ = 0;
    int depth_ = 0;
    bool hasText_ = false;
    bool hasAudio_ = false;
    std::array<std::vector<Mark>, 7> byLevel_; // [0] all headings, [n] levels 1..n, by phrase
    std::vector<Mark> pageMarks_;
    std::vector<int> runEnd_;
    std::vector<int> sentenceOf_, sentenceStart_;
    QHash<QString, int> pageLabels_;
    QHash<QString, int> anchors_; // "file.smil#id" to a phrase, as the reader found them
    QHash<QString, int> textAnchors_; // "text file in folded case#id" to a phrase
    std::vector<int> byName_;     // the phrases by SMIL file, then id, then reading order
    // A SMIL file's name alone, in folded case, to each file of that name and its first phrase, in reading order.
    QHash<QString, std::vector<std::pair<QString, int>>> smilFiles_;
    QHash<QString, Clips> clips_; // by the audio file's name in folded case
    QSet<QString> seenProblems_;
};

} // namespace qyr::daisy
