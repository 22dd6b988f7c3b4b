#include "qtspeech.h"

#include <QTextToSpeech>
#include <algorithm>
#include <cmath>
#include <utility>

namespace qyr {

QtSpeech::QtSpeech() = default;
QtSpeech::~QtSpeech() = default;

QTextToSpeech *QtSpeech::engine()
{
    // Made on first use: the engine connects to its server, which start-up
    // need not wait for. The engine may report from the server's thread: the
    // states reach this object through its own event queue.
    if (!tried_) {
        tried_ = true;
        speech_ = std::make_unique<QTextToSpeech>();
        QObject::connect(speech_.get(), &QTextToSpeech::stateChanged, this,
                         [this](QTextToSpeech::State s) { stateChanged(int(s)); });
    }
    return speech_.get();
}

bool QtSpeech::available()
{
    // Not the engine's state: under a C locale speech-dispatcher's engine is
    // in error from the start (it looks for voices of the locale "C") and
    // speaks all the same. A server that answered lists its voices' languages.
    QTextToSpeech *e = engine();
    return e && !e->availableLocales().isEmpty();
}

// The voice of the language asked (of its country first), else an Italian
// one; the engine is asked to change only when it must.
void QtSpeech::useLocale(const QLocale &wanted)
{
    QTextToSpeech *e = engine();
    const QList<QLocale> all = e->availableLocales();
    auto find = [&](const QLocale &l, bool country) {
        return std::find_if(all.begin(), all.end(), [&](const QLocale &v) {
            return v.language() == l.language() && (!country || v.territory() == l.territory());
        });
    };
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    auto it = wanted.language() == QLocale::C ? all.end() : find(wanted, true);
    if (it == all.end() && wanted.language() != QLocale::C)
        it = find(wanted, false);
    if (it == all.end())
        it = find(italian, false);
    if (it != all.end() && e->locale() != *it)
        e->setLocale(*it);
}

void QtSpeech::sayNow(Now kind, const QString &text)
{
    QTextToSpeech *e = engine();
    if (!e)
        return;
    // Whatever was handed before goes, also when it has not begun yet (it
    // would otherwise be queued behind, and its end taken for this one's).
    if (now_ != Now::Nothing || e->state() == QTextToSpeech::Speaking || e->state() == QTextToSpeech::Paused)
        e->stop();
    now_ = kind;
    began_ = false;
    if (kind == Now::Phrase) {
        useLocale(language_.isEmpty() ? QLocale(QLocale::Italian, QLocale::Italy) : QLocale(language_));
        // The reading speed's steps are the player's (0.5 to 2): the engine's
        // rate runs from -1 (half) through 0 to 1 (twice as fast).
        e->setRate(std::clamp(std::log2(std::max(rate_, 0.01)), -1.0, 1.0));
    } else {
        useLocale(QLocale(QLocale::Italian, QLocale::Italy));
        e->setRate(0);
    }
    e->say(text);
}

void QtSpeech::stateChanged(int state)
{
    if (state == int(QTextToSpeech::Speaking)) {
        began_ = now_ != Now::Nothing;
        return;
    }
    if (state != int(QTextToSpeech::Ready) || !began_)
        return; // a pause, an error, or the end of a text cut before the new one began
    const Now done = std::exchange(now_, Now::Nothing);
    began_ = false;
    if (done == Now::Message) {
        if (phraseOwed_ && !paused_)
            sayNow(Now::Phrase, phrase_); // the phrase the message cut, again from its start
        return;
    }
    if (done != Now::Phrase || paused_)
        return;
    phraseOwed_ = false;
    Finished();
}

void QtSpeech::message(const QString &text) { sayNow(Now::Message, text); }

void QtSpeech::phrase(const QString &text, const QString &language, double rate)
{
    phrase_ = text;
    language_ = language;
    rate_ = rate;
    phraseOwed_ = true;
    paused_ = false;
    // A message being said is heard to its end, and the phrase follows it.
    // Cutting it would also leave its start, still on its way from the
    // server, to be taken for the phrase's, and its end for the phrase's end.
    if (now_ == Now::Message)
        return;
    sayNow(Now::Phrase, text);
}

// Engines differ in pausing (speech-dispatcher's may go on to the sentence's
// end): the phrase is stopped, and said again from its start on resuming.
void QtSpeech::pause()
{
    if (!phraseOwed_ || paused_)
        return;
    paused_ = true;
    if (now_ == Now::Phrase) {
        now_ = Now::Nothing;
        began_ = false;
        engine()->stop();
    }
}

void QtSpeech::resume()
{
    if (!paused_)
        return;
    paused_ = false;
    if (phraseOwed_)
        sayNow(Now::Phrase, phrase_);
}

void QtSpeech::stop()
{
    phraseOwed_ = false;
    paused_ = false;
    if (now_ == Now::Phrase) {
        now_ = Now::Nothing;
        began_ = false;
        engine()->stop();
    }
}

} // namespace qyr
