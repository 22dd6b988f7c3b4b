#pragma once
// The keys that change how the book is read and shown: reading speed in
// steps or in a three-value cycle, reading off and on, the style sheet, and
// the options and debug panels.
#include <QString>

namespace qyr {

class frmBrowser;

class ReadingKeys {
public:
    explicit ReadingKeys(frmBrowser &f) : f(f) {}
    qint16 styleSheet() const { return nStyleSheet; }
    void setStyleSheet(qint16 n) { nStyleSheet = n; }
    void speedStep(bool up);
    void speedCycle(QString &KeyStep);
    void readingOnOff(QString &KeyStep);
    // Moves to the next style sheet file (or back to the first) and reloads
    // the page, keeping its anchor for the reload.
    void nextStyleSheet(QString &KeyStep);
    void optionsPanel(QString &KeyStep);
    void debugPanel();

private:
    QString rateText();
    frmBrowser &f;
    qint16 nStyleSheet = 0; // the book's style sheet in use (include/styleN.css)
};

} // namespace qyr
