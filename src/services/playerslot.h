#pragma once
// The facade in use. The options panel may put another in its place, so the
// parts that play hold this slot, never the facade itself.
#include "../platform/errors.h"
#include "../platform/signal.h"
#include "../player/ekoplayer.h"

#include <functional>
#include <memory>

namespace qyr {

class PlayerSlot {
public:
    using Factory = std::function<std::unique_ptr<oEkoPlayer>()>;

    PlayerSlot() = default;
    PlayerSlot(const PlayerSlot &) = delete;
    PlayerSlot &operator=(const PlayerSlot &) = delete;

    std::unique_ptr<oEkoPlayer> oPlayer;

    // How a new facade is made (set once by whoever wires the program).
    void setFactory(Factory make) { make_ = std::move(make); }

    // A new facade whose events are raised on this slot.
    std::unique_ptr<oEkoPlayer> create()
    {
        auto p = make_();
        p->PlayStateChange.connect([this](qint32 m) { StateChanged(m); });
        p->PlayFileChange.connect([this](const QString &n) { FileChanged(n); });
        return p;
    }

    // The facade in use. Before start-up has made one, a facade with no
    // player behind it is made here, so a caller never meets an empty slot:
    // that facade's members report their own failure by name, as they do
    // whenever no player is behind them. Only a slot never wired (no
    // factory) fails, as the caller's step.
    oEkoPlayer &get()
    {
        if (!oPlayer && make_)
            oPlayer = create();
        if (!oPlayer)
            throw QyrError(err::ObjectNotSet);
        return *oPlayer;
    }

    // A facade with a player behind it.
    bool running() const { return oPlayer && oPlayer->hasCurrentPlayer(); }
    // Stops the facade when a player is behind it.
    void stop()
    {
        if (running())
            oPlayer->Stop_Player();
    }

    Signal<qint32> StateChanged;
    Signal<const QString &> FileChanged;

private:
    Factory make_;
};

} // namespace qyr
