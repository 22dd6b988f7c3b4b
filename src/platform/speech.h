#pragma once
// The program's one voice, shared by its messages and by the reading of a
// book's text that has no audio: one voice, so that a message and a phrase
// never talk over each other (a message cuts the phrase, which is then said
// again from its start; a phrase handed while a message is said waits for
// the message's end).
#include "signal.h"

#include <QString>

namespace qyr {

class ISpeech {
public:
    virtual ~ISpeech() = default;
    // Some voice can speak: a speech service answered and has a voice.
    virtual bool available() = 0;
    // A message, in Italian, cutting whatever is being said.
    virtual void message(const QString &text) = 0;
    // A phrase of a book, in the book's language (a code such as "en" or
    // "it-IT": a voice of that language when there is one, else Italian), at
    // the reading speed (1 normal, 2 twice as fast), after the message being
    // said, if any. Finished follows when it has been said to its end.
    virtual void phrase(const QString &text, const QString &language, double rate) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // The phrase is dropped; Finished does not follow.
    virtual void stop() = 0;
    Signal<> Finished;
};

} // namespace qyr
