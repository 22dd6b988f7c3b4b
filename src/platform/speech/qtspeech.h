#pragma once
// The voice on Qt TextToSpeech (speech-dispatcher on Linux, the system voice
// on Windows). Qt reports only states, the same "ready" for a text said to
// its end and for one cut: a text counts as said once it has been heard
// begin and then end, and what was cut before it began is not counted.
#include "../speech.h"

#include <QLocale>
#include <QObject>
#include <memory>

class QTextToSpeech;

namespace qyr {

class QtSpeech : public QObject, public ISpeech {
public:
    QtSpeech();
    ~QtSpeech() override;
    bool available() override;
    void message(const QString &text) override;
    void phrase(const QString &text, const QString &language, double rate) override;
    void pause() override;
    void resume() override;
    void stop() override;

private:
    enum class Now { Nothing, Message, Phrase };
    QTextToSpeech *engine();
    void sayNow(Now kind, const QString &text);
    void stateChanged(int state);
    void useLocale(const QLocale &wanted);
    std::unique_ptr<QTextToSpeech> speech_;
    bool tried_ = false;
    Now now_ = Now::Nothing; // what was last handed to the engine
    bool began_ = false;     // and whether it has been heard beginning
    // The phrase under way: said, cut by a message, or paused.
    bool phraseOwed_ = false, paused_ = false;
    QString phrase_, language_;
    double rate_ = 1;
};

} // namespace qyr
