#pragma once
// frmOther: the host of the player of other versions ("Altre"). It follows
// the version 9 host's rules (hidden until a video plays, media end raised
// from a one-shot timer after the control's event has returned) under its own
// name text, "oOther - ". Its volume is in hundredths of a decibel, -10000
// (silent) to 0 (full), as the volume keys of this version step it.
#include "frmwmp9.h"

namespace qyr {

class frmOther : public frmWMP9 {
public:
    frmOther(ErrorReporter &er, IEventPump &pump, ITimerService &timers, MediaHostParts parts);

    QVariant Volume() override;
    void setVolume(const QVariant &v) override;

    // The linear gain of a level in hundredths of a decibel, clamped to
    // -10000..0; -10000 and below are silence.
    static double gainOf(qint32 hundredthsOfDb);

private:
    qint32 mVolume = 0; // the control keeps a gain; the level given is kept here
};

} // namespace qyr
