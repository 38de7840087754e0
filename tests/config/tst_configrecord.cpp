// The configuration record: setter semantics per kind, value types, property access by name.

#include "configtestutil.h"
#include "configtypes.h"

#include <QRegularExpression>
#include <cstring>

class TestConfigRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void table();
    void setterSemantics_data();
    void setterSemantics();
    void propertyWriteConvertsIntegerTypes();
    void curveEqualityIgnoresCount();
    void twentyCharacterName();
    void nameFromStringKeepsWholeCharacters_data();
    void nameFromStringKeepsWholeCharacters();
    void nameComparesTextOnly();
    void firmwareAlwaysEmits();
    void resetParametersModifiedAlwaysEmits();
    void debugForms();
    void metaTypeAliases();
};

void TestConfigRecord::initTestCase()
{
    registerConfigMetaTypes();
    registerConfigMetaTypes(); // idempotent
}

// The descriptor table and the generated class agree: same names, order, types, signals, slots.
void TestConfigRecord::table()
{
    const QMetaObject &mo = DeviceConfig::staticMetaObject;
    QCOMPARE(
        mo.propertyCount() - BaseConfig::staticMetaObject.propertyCount(), kConfigParameterCount);
    QSet<QString> names;
    for (const ConfigParameter &p : configParameters()) {
        QCOMPARE(&configParameter(p.index), &p);
        QVERIFY2(!names.contains(p.name), p.name);
        names.insert(p.name);
        const QMetaProperty prop
            = mo.property(BaseConfig::staticMetaObject.propertyCount() + p.index);
        QCOMPARE(prop.name(), p.name);
        QCOMPARE(prop.typeName(), p.typeName);
        QVERIFY(prop.isWritable());
        QCOMPARE(prop.notifySignal().methodSignature(),
            QByteArray(p.name) + "Changed(" + p.typeName + ")");
        QCOMPARE(configParameterSignal(p), prop.notifySignal());
        QVERIFY2(mo.indexOfSlot(QByteArray("set_") + p.name + "(" + p.typeName + ")") >= 0, p.name);
        QCOMPARE(findConfigParameter(QString::fromLatin1(p.name)), &p);
        QCOMPARE(findConfigParameter(p.name), &p);
    }
    QCOMPARE(findConfigParameter("no_such_parameter"), nullptr);
    QCOMPARE(findConfigParameter(static_cast<const char *>(nullptr)), nullptr);
    // Signals first, then the slots, in declaration order.
    const int firstSignal = mo.indexOfSignal("x_input_invertChanged(uint8_t)");
    const int lastSignal = mo.indexOfSignal("pot_2_cal_maxChanged(uint16_t)");
    const int firstSlot = mo.indexOfSlot("set_x_input_invert(uint8_t)");
    QCOMPARE(lastSignal - firstSignal, kConfigParameterCount - 1);
    QCOMPARE(firstSlot, lastSignal + 1);
}

static QVariant curve(int shift, uint8_t count = 5)
{
    DeviceMappingData c;
    c.count = count;
    for (int i = 0; i < 5; ++i)
        c.x[i] = int8_t(c.x[i] / 2 + shift);
    return QVariant::fromValue(c);
}

static QVariant buttons(uint8_t first)
{
    ButtonMapping m;
    for (int i = 0; i < ButtonMapping::kSize; ++i)
        m.map[i] = uint8_t(first + i);
    return QVariant::fromValue(m);
}

void TestConfigRecord::setterSemantics_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("first");
    QTest::addColumn<QVariant>("second");
    QTest::addColumn<QString>("logPattern"); // the "set" line of the first value

    QTest::newRow("uint8") << "master_gain" << QVariant(200) << QVariant(7)
                           << "^set  master_gain  =  200$";
    QTest::newRow("int8") << "global_spring_gain" << QVariant(-5) << QVariant(100)
                          << "^set  global_spring_gain  =  -5$";
    QTest::newRow("int16") << "x_angle_max" << QVariant(-1234) << QVariant(32767)
                           << "^set  x_angle_max  =  -1234$";
    QTest::newRow("uint16") << "usb_vid" << QVariant(65535) << QVariant(1)
                            << "^set  usb_vid  =  65535$";
    QTest::newRow("flag8") << "swap_xy" << QVariant(1) << QVariant(0) << "^set  swap_xy  =  1$";
    QTest::newRow("flag16") << "hw_trim_enabled" << QVariant(1) << QVariant(0)
                            << "^set  hw_trim_enabled  =  1$";
    QTest::newRow("mask") << "button_inv_mask" << QVariant(Q_UINT64_C(0xFFFF000000000001))
                          << QVariant(Q_UINT64_C(2))
                          << "^set  button_inv_mask  =  18446462598732840961$";
    QTest::newRow("name") << "config_name"
                          << QVariant::fromValue(DeviceName::fromString(QStringLiteral("My Setup")))
                          << QVariant::fromValue(DeviceName())
                          << "^set  config_name  =  \"My Setup\"$";
    QTest::newRow("curve")
        << "spring_mapping" << curve(3) << curve(-3)
        << "^set  spring_mapping  =  DeviceMappingData\\(\\(-60,-127\\)\\(-29,-64\\)"
           "\\(3,0\\)\\(35,64\\)\\(66,127\\)(\\(0,0\\)){5}\\)$";
    QTest::newRow("buttons") << "button_mapping" << buttons(1) << buttons(2)
                             << "^set  button_mapping  =  ButtonMapping\\(0x[0-9a-f]+\\)$";
}

void TestConfigRecord::setterSemantics()
{
    QFETCH(QString, name);
    QFETCH(QVariant, first);
    QFETCH(QVariant, second);
    QFETCH(QString, logPattern);

    const ConfigParameter *p = findConfigParameter(name);
    QVERIFY(p);
    DeviceConfig config;
    const QVariantList initial = snapshot(config);
    QSignalSpy changed(&config, configParameterSignal(*p));
    QSignalSpy modified(&config, &BaseConfig::parametersModifiedChanged);
    AllSignalsSpy all(&config);

    {
        LogCapture log;
        QVERIFY(p->write(config, first));
        QCOMPARE(log.lines().size(), 1);
        QVERIFY2(QRegularExpression(logPattern).match(log.lines().first()).hasMatch(),
            qPrintable(log.lines().first()));
    }
    QCOMPARE(changed.size(), 1);
    QCOMPARE(p->read(config), changed.at(0).at(0));
    QCOMPARE(config.parametersModified(), true);
    QCOMPARE(modified.size(), 1);
    QCOMPARE(modified.at(0).at(0).toBool(), true);
    QCOMPARE(changedParameters(initial, snapshot(config)), QStringList {name});

    // The same value again: silent.
    {
        LogCapture log;
        QVERIFY(p->write(config, first));
        QVERIFY(log.lines().isEmpty());
    }
    QCOMPARE(changed.size(), 1);

    // A second change signals again but raises the flag only once.
    {
        LogCapture log;
        QVERIFY(p->write(config, second));
        QCOMPARE(log.linesStartingWith(QStringLiteral("set ")).size(), 1);
    }
    QCOMPARE(changed.size(), 2);
    QCOMPARE(modified.size(), 1);
    // The parameter's own signal, the modified flag, and the origin-carrying parameterChanged.
    QCOMPARE(all.emitted().size(), 3);
    QVERIFY(
        all.emitted().contains(QStringLiteral("parameterChanged(int,BaseConfig::ChangeOrigin)")));

    // Once cleared, the next change raises it again.
    config.setParametersModified(false);
    QVERIFY(p->write(config, first));
    QCOMPARE(config.parametersModified(), true);
    QCOMPARE(modified.size(), 3);
}

void TestConfigRecord::propertyWriteConvertsIntegerTypes()
{
    DeviceConfig config;
    QVERIFY(config.setProperty("swap_xy", QVariant::fromValue<unsigned short>(1)));
    QCOMPARE(config.swap_xy(), uint8_t(1));
    QVERIFY(config.setProperty("hw_trim_enabled", QVariant::fromValue<unsigned short>(1)));
    QCOMPARE(config.hw_trim_enabled(), uint16_t(1));
    QVERIFY(config.setProperty("master_gain", QVariant::fromValue<short>(7)));
    QCOMPARE(config.master_gain(), uint8_t(7));
    QVERIFY(config.setProperty("x_angle_min", QVariant(-300)));
    QCOMPARE(config.x_angle_min(), int16_t(-300));
    QVERIFY(config.setProperty("button_tgl_mask", QVariant(qulonglong(1) << 47)));
    QCOMPARE(config.button_tgl_mask(), uint64_t(1) << 47);
    const QVariant read = config.property("master_gain");
    QCOMPARE(read.userType(), int(QMetaType::UChar));
    QVERIFY(config.setProperty("config_name", QVariant::fromValue(DeviceName::fromString("abc"))));
    QCOMPARE(config.config_name().toString(), QStringLiteral("abc"));
    QCOMPARE(config.property("config_name").value<DeviceName>().toString(), QStringLiteral("abc"));
    // The descriptor refuses what cannot become the parameter's type.
    QVERIFY(!findConfigParameter("spring_mapping")->write(config, QVariant(QStringLiteral("x"))));
    QCOMPARE(config.spring_mapping(), DeviceMappingData());
}

void TestConfigRecord::curveEqualityIgnoresCount()
{
    DeviceConfig config;
    DeviceMappingData c;
    c.count = 9;
    QCOMPARE(c, DeviceMappingData());
    QSignalSpy changed(&config, &DeviceConfig::damper_mappingChanged);
    LogCapture log;
    config.set_damper_mapping(c);
    QCOMPARE(changed.size(), 0);
    QVERIFY(log.lines().isEmpty());
    QCOMPARE(config.damper_mapping().count, uint8_t(5));
    QCOMPARE(config.parametersModified(), false);

    c.y[9] = 1;
    config.set_damper_mapping(c);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(config.damper_mapping().count, uint8_t(9));
}

void TestConfigRecord::twentyCharacterName()
{
    const QString text = QStringLiteral("ABCDEFGHIJKLMNOPQRST");
    const DeviceName name = DeviceName::fromString(text);
    QCOMPARE(QByteArray(name.text, 20), text.toLatin1()); // no terminator
    QCOMPARE(name.length(), 20);
    DeviceConfig config;
    LogCapture log;
    config.set_device_name(name);
    QCOMPARE(log.lines(), QStringList {"set  device_name  =  \"ABCDEFGHIJKLMNOPQRST\""});
    QCOMPARE(config.device_name().toString(), text);
    QCOMPARE(config.device_name(), DeviceName::fromString(text + QStringLiteral("UVW")));
}

void TestConfigRecord::nameFromStringKeepsWholeCharacters_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("stored");
    QTest::newRow("ascii 25") << "ABCDEFGHIJKLMNOPQRSTUVWXY"
                              << "ABCDEFGHIJKLMNOPQRST";
    QTest::newRow("two-byte, fits exactly") << QString(10, QChar(0xC4)) << QString(10, QChar(0xC4));
    QTest::newRow("two-byte, one too many") << QString(11, QChar(0xC4)) << QString(10, QChar(0xC4));
    QTest::newRow("three-byte straddles")
        << QString("abcdefghijklmnopqrs") + QChar(0x20AC) << "abcdefghijklmnopqrs";
    QTest::newRow("four-byte straddles")
        << QString("abcdefghijklmnopq") + QString::fromUtf8("\xF0\x9F\x98\x80")
        << "abcdefghijklmnopq";
    QTest::newRow("four-byte fits")
        << QString("abcdefghijklmnop") + QString::fromUtf8("\xF0\x9F\x98\x80")
        << QString("abcdefghijklmnop") + QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("empty") << ""
                           << "";
}

void TestConfigRecord::nameFromStringKeepsWholeCharacters()
{
    QFETCH(QString, input);
    QFETCH(QString, stored);
    const DeviceName name = DeviceName::fromString(input);
    QCOMPARE(name.toString(), stored);
    QVERIFY(name.length() <= DeviceName::kSize);
    for (int i = name.length(); i < DeviceName::kSize; ++i)
        QCOMPARE(name.text[i], '\0');
}

void TestConfigRecord::nameComparesTextOnly()
{
    DeviceName withTail;
    std::memcpy(withTail.text, "ab\0xyz", 6);
    QCOMPARE(withTail, DeviceName::fromString("ab"));
    QVERIFY(withTail != DeviceName::fromString("abc"));
    DeviceConfig config;
    config.set_config_name(withTail);
    QCOMPARE(config.parametersModified(), true);
    // Stored as its text, the rest of the 20 bytes zero.
    QCOMPARE(QByteArray(config.config_name().text, 20), QByteArray("ab") + QByteArray(18, '\0'));
}

void TestConfigRecord::firmwareAlwaysEmits()
{
    DeviceConfig config;
    QCOMPARE(config.firmware(), QString());
    QSignalSpy spy(&config, &BaseConfig::firmwareChanged);
    config.setFirmware(QStringLiteral("1.0"));
    config.setFirmware(QStringLiteral("1.0"));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("1.0"));
    QVERIFY(config.setProperty("firmware", QStringLiteral("2.0")));
    QCOMPARE(spy.size(), 3);
    QCOMPARE(config.parametersModified(), false);
}

void TestConfigRecord::resetParametersModifiedAlwaysEmits()
{
    DeviceConfig config;
    QSignalSpy spy(&config, &BaseConfig::parametersModifiedChanged);
    config.setParametersModified(false);
    QCOMPARE(spy.size(), 0);
    config.resetParametersModified();
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), false);
}

void TestConfigRecord::debugForms()
{
    QString text;
    QDebug(&text) << DeviceMappingData();
    QCOMPARE(text,
        QStringLiteral("DeviceMappingData((-127,-127)(-64,-64)(0,0)(64,64)(127,127)"
                       "(0,0)(0,0)(0,0)(0,0)(0,0)) "));
    text.clear();
    ButtonMapping m;
    QDebug(&text) << m;
    QCOMPARE(text, QString::asprintf("ButtonMapping(%p) ", static_cast<void *>(&m)));
    text.clear();
    QDebug(&text) << QVariant::fromValue(DeviceName::fromString("x"));
    QVERIFY2(text.contains("\"x\""), qPrintable(text));
}

void TestConfigRecord::metaTypeAliases()
{
    QCOMPARE(QMetaType::type("int16_t"), int(QMetaType::Short));
    QCOMPARE(QMetaType::type("uint16_t"), int(QMetaType::UShort));
    QCOMPARE(QMetaType::type("uint32_t"), int(QMetaType::UInt));
    QCOMPARE(QMetaType::type("uint64_t"), int(QMetaType::ULongLong));
    QCOMPARE(QMetaType::type("int64_t"), int(QMetaType::LongLong));
    QCOMPARE(QMetaType::type("int32_t"), int(QMetaType::Int));
    QCOMPARE(QMetaType::type("uint8_t"), int(QMetaType::UChar));
    QCOMPARE(QMetaType::type("int8_t"), int(QMetaType::SChar));
    QCOMPARE(QMetaType::type("DeviceMappingData"), qMetaTypeId<DeviceMappingData>());
    QCOMPARE(QMetaType::type("DeviceName"), qMetaTypeId<DeviceName>());
    QCOMPARE(QMetaType::type("ButtonMapping"), qMetaTypeId<ButtonMapping>());
    QVERIFY(QVariant::fromValue(DeviceMappingData()) == QVariant::fromValue(DeviceMappingData()));
}

QTEST_GUILESS_MAIN(TestConfigRecord)
#include "tst_configrecord.moc"
