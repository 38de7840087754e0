// The endpoint's log lines that users and support read to see what the link does: the exact
// texts of the commands sent and of what the base reported.

#include "configimage.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "tavikcomm.h"

#include <QtTest>

namespace {

class Endpoint : public TavikComm
{
public:
    using TavikComm::TavikComm;
    void receive(const QByteArray &payload)
    {
        QByteArray copy = payload;
        handlePacket(reinterpret_cast<uint8_t *>(copy.data()), copy.size());
    }
};

enum Action { SendConfig, GetConfig, ResetConfig, FirmwareVersion, ActiveConfig };

} // namespace

class TestEndpointLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data();
    void lines();
};

void TestEndpointLog::lines_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("line");
    QTest::newRow("send") << int(SendConfig) << int(QtDebugMsg) << QStringLiteral("send 464");
    QTest::newRow("get") << int(GetConfig) << int(QtDebugMsg) << QStringLiteral("Get config");
    QTest::newRow("reset") << int(ResetConfig) << int(QtDebugMsg) << QStringLiteral("Get config");
    QTest::newRow("firmware") << int(FirmwareVersion) << int(QtInfoMsg)
                              << QStringLiteral("Firmware version 1.2.3");
    QTest::newRow("config") << int(ActiveConfig) << int(QtDebugMsg)
                            << QStringLiteral("Received config len:463 463");
}

void TestEndpointLog::lines()
{
    QFETCH(int, action);
    QFETCH(int, type);
    QFETCH(QString, line);

    DataPacket telemetry;
    DeviceConfig config;
    EffectListModel effects;
    Endpoint endpoint(&config, &telemetry, &effects);

    QTest::ignoreMessage(QtMsgType(type), line.toUtf8().constData());
    switch (action) {
    case SendConfig:
        QVERIFY(endpoint.sendConfig());
        break;
    case GetConfig:
        QVERIFY(endpoint.getConfig());
        break;
    case ResetConfig:
        QVERIFY(endpoint.resetConfig());
        break;
    case FirmwareVersion:
        endpoint.receive(QByteArray("\x0c"
                                    "1.2.3",
                             6)
            + QByteArray(1, '\0'));
        QCOMPARE(config.firmware(), QStringLiteral("1.2.3"));
        break;
    case ActiveConfig: {
        QByteArray payload(1, char(3));
        payload += buildConfigImage(config);
        endpoint.receive(payload);
        break;
    }
    }
}

QTEST_MAIN(TestEndpointLog)
#include "tst_endpointlog.moc"
