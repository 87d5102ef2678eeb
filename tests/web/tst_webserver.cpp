#include <QTest>
class tst_WebServer : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(tst_WebServer)
#include "tst_webserver.moc"
