#include <QtTest>
class TstDaisy : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TstDaisy)
#include "tst_daisy.moc"
