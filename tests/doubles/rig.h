#pragma once
// The main window's logic on doubles: every port in memory, time manual.
#include "doubles.h"
#include "shell/frmbrowser.h"

#include <memory>
#include <vector>

namespace qyr::test {

struct Rig {
    MemoryRegistry reg;
    FakeFiles files;
    ScriptedDialogs dialogs;
    ManualClock clock;
    FakeBrowser browser;
    std::vector<FakeMedia *> medias; // the controls alive now, owned by their hosts
    QStringList mediaLog;            // what every control was asked, in order
    FakeVideoWindow *window = nullptr; // the newest host's window
    int mediaFailures = 0;           // how many creations fail before one succeeds
    bool mediaAlwaysFails = false;
    std::unique_ptr<frmBrowser> f;

    explicit Rig(const QString &appFolder = QStringLiteral("/libri/demo"))
    {
        clock.onSleep = [this] { browser.tick(); };
        Ports p{reg, files, dialogs, clock, clock, browser,
                [this]() -> MediaHostParts {
                    if (mediaAlwaysFails || mediaFailures > 0) {
                        --mediaFailures;
                        throw QyrError(err::MediaHost, QStringLiteral("lettore non disponibile"));
                    }
                    auto m = std::make_unique<FakeMedia>();
                    m->sharedLog = &mediaLog;
                    m->onGone = [this](FakeMedia *gone) {
                        medias.erase(std::remove(medias.begin(), medias.end(), gone), medias.end());
                    };
                    medias.push_back(m.get());
                    auto w = std::make_unique<FakeVideoWindow>();
                    window = w.get();
                    return MediaHostParts{std::move(m), std::move(w)};
                },
                appFolder};
        f = std::make_unique<frmBrowser>(p);
        reg.seenThrough = &f->view;
    }
    void start()
    {
        f->startup.Form_Load();
        f->startup.Form_Initialize();
    }
    FakeMedia *media() { return medias.empty() ? nullptr : medias.back(); }
};

} // namespace qyr::test
