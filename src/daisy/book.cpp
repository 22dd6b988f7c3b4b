#include "book.h"

#include <algorithm>
#include <cmath>

namespace qyr::daisy {

namespace {

// Clips are written to the millisecond: closer than that, two clips touch.
constexpr double kTouch = 0.0015;

QString labelKey(const QString &label) { return label.simplified().toLower(); }

} // namespace

void Book::addProblem(const QString &text)
{
    if (!seenProblems_.contains(text)) {
        seenProblems_.insert(text);
        problems << text;
    }
}

void Book::finish()
{
    const int n = int(phrases.size());
    double at = 0;
    for (Phrase &p : phrases) {
        p.start = at;
        at += std::max(0.0, p.length());
    }
    total_ = at;

    runEnd_.assign(size_t(n), 0);
    for (int i = n - 1; i >= 0; --i) {
        const Phrase &p = phrases[size_t(i)];
        const bool joins = i + 1 < n && !p.audio.isEmpty() && phrases[size_t(i) + 1].audio == p.audio &&
                           std::abs(phrases[size_t(i) + 1].clipBegin - p.clipEnd) < kTouch;
        runEnd_[size_t(i)] = joins ? runEnd_[size_t(i) + 1] : i;
    }

    // A target whose phrase was not found takes the one of the next target that was.
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
    auto byPhrase = [](const Mark &a, const Mark &b) { return a.phrase < b.phrase; };
    for (auto &marks : byLevel_)
        std::stable_sort(marks.begin(), marks.end(), byPhrase);

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
    const auto it = std::upper_bound(marks.begin(), marks.end(), phrase,
                                     [](int p, const Mark &m) { return p < m.phrase; });
    return it == marks.begin() ? -1 : int(it - marks.begin()) - 1;
}

int Book::firstAfter(const std::vector<Mark> &marks, int phrase)
{
    const auto it = std::upper_bound(marks.begin(), marks.end(), phrase,
                                     [](int p, const Mark &m) { return p < m.phrase; });
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

int Book::runEnd(int phrase) const
{
    if (phrase < 0 || phrase >= int(runEnd_.size()))
        return -1;
    return runEnd_[size_t(phrase)];
}

} // namespace qyr::daisy
