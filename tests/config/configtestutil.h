#pragma once

// Helpers shared by the configuration tests.

#include "configimage.h"
#include "configparameters.h"
#include "deviceconfig.h"

#include <QMetaMethod>
#include <QSignalSpy>
#include <QStringList>
#include <QVariantList>
#include <QtTest>
#include <memory>
#include <vector>

// The value of every parameter, in declaration order.
inline QVariantList snapshot(const DeviceConfig &config)
{
    QVariantList values;
    for (const ConfigParameter &p : configParameters())
        values << p.read(config);
    return values;
}

// Names of the parameters whose values differ between two snapshots.
inline QStringList changedParameters(const QVariantList &before, const QVariantList &after)
{
    QStringList names;
    for (const ConfigParameter &p : configParameters())
        if (before.value(p.index) != after.value(p.index))
            names << QString::fromLatin1(p.name);
    return names;
}

// Records every signal of an object (the 181 change signals and those of BaseConfig).
class AllSignalsSpy
{
public:
    explicit AllSignalsSpy(const QObject *object)
    {
        const QMetaObject *mo = object->metaObject();
        for (int i = QObject::staticMetaObject.methodCount(); i < mo->methodCount(); ++i) {
            const QMetaMethod m = mo->method(i);
            if (m.methodType() == QMetaMethod::Signal)
                m_spies.push_back({QString::fromLatin1(m.methodSignature()),
                    std::make_unique<QSignalSpy>(object, m)});
        }
    }
    int signalCount() const { return int(m_spies.size()); }
    // Signatures of the signals that were emitted.
    QStringList emitted() const
    {
        QStringList names;
        for (const auto &s : m_spies)
            if (!s.spy->isEmpty())
                names << s.signature;
        return names;
    }

private:
    struct Entry
    {
        QString signature;
        std::unique_ptr<QSignalSpy> spy;
    };
    std::vector<Entry> m_spies;
};

// Collects the debug lines of the default category while it lives.
class LogCapture
{
public:
    LogCapture()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList lines() const { return m_lines; }
    QStringList linesStartingWith(const QString &prefix) const
    {
        QStringList out;
        for (const QString &l : m_lines)
            if (l.startsWith(prefix))
                out << l;
        return out;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
    {
        if (s_current && type == QtDebugMsg && context.category
            && qstrcmp(context.category, "default") == 0)
            s_current->m_lines << msg;
    }
    static inline LogCapture *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};

// Drops every message while it lives; the image builder logs 181 lines per image.
class QuietLog
{
public:
    QuietLog()
    {
        m_previous
            = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    }
    ~QuietLog() { qInstallMessageHandler(m_previous); }

private:
    QtMessageHandler m_previous = nullptr;
};

inline QByteArray toByteArray(const ConfigImage &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
}

// An image with a value other than the initial one in every field: a byte pattern with the
// version, the reserved bytes, valid curve counts and printable names fixed up by hand.
inline QByteArray patternImage()
{
    QByteArray img(kConfigImageSize, '\0');
    for (int i = 0; i < kConfigImageSize; ++i)
        img[i] = char((i * 37 + 11) & 0xFF);
    img[0] = char(kConfigImageVersion);
    for (int reserved : {1, 2, 185, 201, 209, 210, 211})
        img[reserved] = 0;
    // All flags set, except the reserved bit 7 of byte 218.
    for (int flags : {3, 208, 332, 333})
        img[flags] = char(0xFF);
    img[218] = 0x7F;
    const int curves[] = {102, 123, 144, 355, 376, 397};
    for (int k = 0; k < 6; ++k)
        img[curves[k]] = char(3 + k); // point counts 3..8
    const QByteArray configName = "Pattern config 20ch!"; // exactly 20 bytes, no terminator
    const QByteArray deviceName = "Pattern base";
    img.replace(165, 20, configName);
    img.replace(335, 20, deviceName + QByteArray(20 - deviceName.size(), '\0'));
    return img;
}
