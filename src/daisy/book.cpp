#include "book.h"

#include <algorithm>
#include <cmath>

namespace qyr::daisy {

namespace {

// Clips are written to the millisecond: closer than that, two clips touch.
constexpr double kTouch = 0.0015;

QString labelKey(const QString &label) { return label.simplified().toLower(); }

// A SMIL file's name without its folders, in folded case, as a link of the text names it.
QString fileKey(const QString &path) { return path.section(QLatin1Char('/'), -1).toCaseFolded(); }

} // namespace

void Book::addProblem(const QString &text)
{
    if (!seenProblems_.contains(text)) {
        seenProblems_.insert(text);
        problems << text;
    }
}

void Book::addAnchor(const QString &smil, const QString &id, int phrase)
{
    // A later element of the same id wins, as the last one written.
    anchors_.insert(smil + QLatin1Char('#') + id, phrase);
}

int Book::anchor(const QString &smil, const QString &id) const
{
    return anchors_.value(smil + QLatin1Char('#') + id, -1);
}

void Book::addTextAnchor(const QString &textFile, const QString &id, int phrase)
{
    const QString key = textFile.toCaseFolded() + QLatin1Char('#') + id;
    if (phrase >= 0 && !textAnchors_.contains(key))
        textAnchors_.insert(key, phrase);
}

int Book::phraseOfText(const QString &textFile, const QString &id) const
{
    const QString file = textFile.toCaseFolded() + QLatin1Char('#');
    const auto at = textAnchors_.constFind(file + id);
    return at != textAnchors_.constEnd() ? *at : textAnchors_.value(file, -1);
}

void Book::finish()
{
    placeClips();
    // A target whose phrase was not found takes the one of the next target that was.
    settleTargets();
    markHeadings();
    markPages();
    indexNames();
    indexAudio();
}

// Each clip's offset in the whole book, the total time, and the runs played straight through.
void Book::placeClips()
{
    const int n = int(phrases.size());
    double at = 0;
    hasText_ = hasAudio_ = false;
    for (Phrase &p : phrases) {
        p.start = at;
        at += std::max(0.0, p.length());
        hasText_ = hasText_ || !p.textFile.isEmpty();
        hasAudio_ = hasAudio_ || !p.audio.isEmpty();
    }
    total_ = at;

    sentenceOf_.assign(size_t(n), 0);
    sentenceStart_.clear();
    for (int i = 0; i < n; ++i) {
        if (i == 0 || !phrases[size_t(i)].continues)
            sentenceStart_.push_back(i);
        sentenceOf_[size_t(i)] = int(sentenceStart_.size()) - 1;
    }

    runEnd_.assign(size_t(n), 0);
    for (int i = n - 1; i >= 0; --i) {
        const Phrase &p = phrases[size_t(i)];
        const bool joins = i + 1 < n && !p.audio.isEmpty() && phrases[size_t(i) + 1].audio == p.audio &&
                           std::abs(phrases[size_t(i) + 1].clipBegin - p.clipEnd) < kTouch;
        runEnd_[size_t(i)] = joins ? runEnd_[size_t(i) + 1] : i;
    }
}

int Book::sentenceOf(int phrase) const
{
    return phrase >= 0 && size_t(phrase) < sentenceOf_.size() ? sentenceOf_[size_t(phrase)] : -1;
}

int Book::sentenceStart(int sentence) const
{
    return sentence >= 0 && size_t(sentence) < sentenceStart_.size() ? sentenceStart_[size_t(sentence)] : -1;
}

void Book::settleTargets()
{
    const int n = int(phrases.size());
    auto settle = [n](auto &items) {
        int next = n > 0 ? n - 1 : -1;
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            int &p = it->target.phrase;
            if (p >= n)
                p = n - 1;
            if (p < 0)
                p = next;
            next = p;
        }
    };
    settle(headings);
    settle(pages);
}

namespace {

constexpr auto byPhrase = [](const auto &a, const auto &b) { return a.phrase < b.phrase; };

} // namespace

void Book::markHeadings()
{
    depth_ = 0;
    for (auto &marks : byLevel_)
        marks.clear();
    for (int i = 0; i < int(headings.size()); ++i) {
        Heading &h = headings[size_t(i)];
        h.level = std::clamp(h.level, 1, 6);
        depth_ = std::max(depth_, h.level);
        if (h.target.phrase < 0)
            continue;
        byLevel_[0].push_back({h.target.phrase, i});
        for (int level = h.level; level <= 6; ++level)
            byLevel_[size_t(level)].push_back({h.target.phrase, i});
    }
    for (auto &marks : byLevel_)
        std::stable_sort(marks.begin(), marks.end(), byPhrase);
}

void Book::markPages()
{
    pageMarks_.clear();
    pageLabels_.clear();
    for (int i = 0; i < int(pages.size()); ++i) {
        const Page &p = pages[size_t(i)];
        if (p.target.phrase >= 0)
            pageMarks_.push_back({p.target.phrase, i});
        const QString key = labelKey(p.label);
        if (!pageLabels_.contains(key))
            pageLabels_.insert(key, i);
    }
    std::stable_sort(pageMarks_.begin(), pageMarks_.end(), byPhrase);
}

// The phrases by SMIL file and id, of one name the first read first: a
// vector of positions, where a table of names cost some megabytes in a large
// book. Each SMIL file to its first phrase.
void Book::indexNames()
{
    byName_.resize(phrases.size());
    for (size_t i = 0; i < byName_.size(); ++i)
        byName_[i] = int(i);
    std::stable_sort(byName_.begin(), byName_.end(), [this](int a, int b) {
        return compareName(phrases[size_t(a)], phrases[size_t(b)].smil, phrases[size_t(b)].id) < 0;
    });
    smilFiles_.clear();
    for (int i = 0; i < int(phrases.size()); ++i) {
        const Phrase &p = phrases[size_t(i)];
        if (i == 0 || phrases[size_t(i) - 1].smil != p.smil)
            smilFiles_[fileKey(p.smil)].emplace_back(p.smil, i);
    }
}

int Book::compareName(const Phrase &p, QStringView smil, QStringView id)
{
    const int bySmil = QStringView(p.smil).compare(smil);
    return bySmil != 0 ? bySmil : QStringView(p.id).compare(id);
}

int Book::phraseIn(QStringView smil, QStringView id) const
{
    const auto it = std::lower_bound(byName_.begin(), byName_.end(), 0,
                                     [&](int i, int) { return compareName(phrases[size_t(i)], smil, id) < 0; });
    return it != byName_.end() && compareName(phrases[size_t(*it)], smil, id) == 0 ? *it : -1;
}

void Book::indexAudio()
{
    clips_.clear();
    for (int i = 0; i < int(phrases.size()); ++i)
        if (!phrases[size_t(i)].audio.isEmpty())
            clips_[phrases[size_t(i)].audio.toCaseFolded()].phrases.push_back(i);
    for (Clips &c : clips_) {
        std::stable_sort(c.phrases.begin(), c.phrases.end(),
                         [this](int a, int b) { return phrases[size_t(a)].clipBegin < phrases[size_t(b)].clipBegin; });
        c.latestEnd.resize(c.phrases.size());
        double latest = -1;
        for (size_t k = 0; k < c.phrases.size(); ++k)
            c.latestEnd[k] = latest = std::max(latest, phrases[size_t(c.phrases[k])].clipEnd);
    }
}

int Book::phraseAt(double seconds) const
{
    if (phrases.empty())
        return -1;
    const auto it = std::upper_bound(phrases.begin(), phrases.end(), seconds,
                                     [](double t, const Phrase &p) { return t < p.start; });
    return std::max(0, int(it - phrases.begin()) - 1);
}

int Book::lastAtOrBefore(const std::vector<Mark> &marks, int phrase)
{
    const auto it =
        std::upper_bound(marks.begin(), marks.end(), phrase, [](int p, const Mark &m) { return p < m.phrase; });
    return it == marks.begin() ? -1 : int(it - marks.begin()) - 1;
}

int Book::firstAfter(const std::vector<Mark> &marks, int phrase)
{
    const auto it =
        std::upper_bound(marks.begin(), marks.end(), phrase, [](int p, const Mark &m) { return p < m.phrase; });
    return it == marks.end() ? -1 : int(it - marks.begin());
}

int Book::headingOf(int phrase) const
{
    const int at = lastAtOrBefore(byLevel_[0], phrase);
    return at < 0 ? -1 : byLevel_[0][size_t(at)].index;
}

int Book::pageOf(int phrase) const
{
    const int at = lastAtOrBefore(pageMarks_, phrase);
    return at < 0 ? -1 : pageMarks_[size_t(at)].index;
}

namespace {

template <typename Marks>
int firstOfGroup(const Marks &marks, int at)
{
    // Of several marks on one phrase, the first written (the chapter before its first section).
    while (at > 0 && marks[size_t(at) - 1].phrase == marks[size_t(at)].phrase)
        --at;
    return at;
}

} // namespace

int Book::nextHeading(int phrase, int level) const
{
    const auto &marks = byLevel_[size_t(std::clamp(level, 0, 6))];
    const int at = firstAfter(marks, phrase);
    return at < 0 ? -1 : marks[size_t(at)].index;
}

int Book::previousHeading(int phrase, int level) const
{
    const auto &marks = byLevel_[size_t(std::clamp(level, 0, 6))];
    const int current = lastAtOrBefore(marks, phrase);
    if (current < 0)
        return -1;
    const int before = lastAtOrBefore(marks, marks[size_t(current)].phrase - 1);
    return before < 0 ? -1 : marks[size_t(firstOfGroup(marks, before))].index;
}

int Book::nextPage(int phrase) const
{
    const int at = firstAfter(pageMarks_, phrase);
    return at < 0 ? -1 : pageMarks_[size_t(at)].index;
}

int Book::previousPage(int phrase) const
{
    const int current = lastAtOrBefore(pageMarks_, phrase);
    if (current < 0)
        return -1;
    const int before = lastAtOrBefore(pageMarks_, pageMarks_[size_t(current)].phrase - 1);
    return before < 0 ? -1 : pageMarks_[size_t(firstOfGroup(pageMarks_, before))].index;
}

int Book::pageByLabel(const QString &label) const { return pageLabels_.value(labelKey(label), -1); }

int Book::phraseNamed(const QString &name) const
{
    // Split at each "#" in turn: a file's name may hold one too.
    int found = -1;
    for (qsizetype hash = name.indexOf(QLatin1Char('#')); hash >= 0; hash = name.indexOf(QLatin1Char('#'), hash + 1)) {
        const int at = phraseIn(QStringView(name).left(hash), QStringView(name).mid(hash + 1));
        if (at >= 0 && (found < 0 || at < found))
            found = at;
    }
    return found;
}

int Book::phraseOfLink(const QString &fileName, const QString &id) const
{
    const auto files = smilFiles_.constFind(fileKey(fileName));
    if (files == smilFiles_.constEnd())
        return -1;
    int named = -1;
    for (const auto &[smil, first] : *files) {
        const int at = phraseIn(smil, id);
        if (at >= 0 && (named < 0 || at < named))
            named = at;
    }
    return named >= 0 ? named : files->front().second;
}

int Book::phraseHolding(const QString &audio, double position) const
{
    const auto c = clips_.constFind(audio.toCaseFolded());
    if (audio.isEmpty() || c == clips_.constEnd())
        return -1;
    const std::vector<int> &order = c->phrases;
    // The clips beginning at or before the position, back while one of them may still hold it.
    auto k = std::upper_bound(order.begin(), order.end(), position,
                              [this](double t, int i) { return t < phrases[size_t(i)].clipBegin; }) -
             order.begin();
    int found = -1;
    while (--k >= 0 && c->latestEnd[size_t(k)] > position) {
        const int i = order[size_t(k)];
        if (position < phrases[size_t(i)].clipEnd && (found < 0 || i < found))
            found = i;
    }
    return found;
}

int Book::runEnd(int phrase) const
{
    if (phrase < 0 || phrase >= int(runEnd_.size()))
        return -1;
    return runEnd_[size_t(phrase)];
}

} // namespace qyr::daisy
