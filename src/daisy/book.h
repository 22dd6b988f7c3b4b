#pragma once
// A DAISY book read into memory: its headings, print pages and phrases in
// reading order, with the lookups the reading keys need, each O(log n) or
// better. Indexes of headings, pages and phrases are positions in the
// vectors below; -1 means none.
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace qyr::daisy {

enum class Format { Daisy2, Daisy3 };

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
    double length() const { return clipEnd - clipBegin; }
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
    std::vector<Heading> headings;
    std::vector<Page> pages;
    std::vector<Phrase> phrases;
    QStringList problems; // in Italian, each once

    // Works out the offsets, the total time and the indexes below; called once
    // the vectors are filled. Headings and pages without a phrase take the next one found.
    void finish();

    double totalTime() const { return total_; }
    int depth() const { return depth_; } // the deepest heading level, 0 without headings

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

    void addProblem(const QString &text);

private:
    struct Mark {
        int phrase; // the first phrase of the heading or page
        int index;  // the heading or page
    };
    static int lastAtOrBefore(const std::vector<Mark> &marks, int phrase);
    static int firstAfter(const std::vector<Mark> &marks, int phrase);

    double total_ = 0;
    int depth_ = 0;
    std::array<std::vector<Mark>, 7> byLevel_; // [0] all headings, [n] levels 1..n, by phrase
    std::vector<Mark> pageMarks_;
    std::vector<int> runEnd_;
    QHash<QString, int> pageLabels_;
    QSet<QString> seenProblems_;
};

} // namespace qyr::daisy
