#pragma once
// What starting and ending the program asks of its logic, and nothing more:
// main() holds this; the window layer binds to the logic it hands out.
#include "ports.h"

#include <QString>
#include <memory>

namespace qyr {

class frmBrowser;

class Program {
public:
    explicit Program(const Ports &ports);
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    frmBrowser &logic() { return *f_; }
    // Loads the settings, creates the player and opens the book.
    void start();
    // Start-up ended with the program closing: there is nothing to show.
    bool closing() const;
    // The session ends with no one to answer the exit question.
    void endWithoutQuestion();
    // A short message on the display, as every command answers.
    void say(const QString &text);
    void showError(const QString &title, const QString &text);
    // The folder of the book open now: the only one whose files it reaches.
    QString bookFolder() const;
    // The program's own files (the safety copies among them) go in this
    // folder: the one of the settings file in use.
    void keepOwnFilesIn(const QString &folder);

private:
    std::unique_ptr<frmBrowser> f_;
};

} // namespace qyr
