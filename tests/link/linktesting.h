#pragma once
// Helpers shared by the serial link tests: the test's end of the link and pseudo-terminals (from
// linkpeer.h), a manager that records what reaches its packet handler, and captured log lines.

#include "linkpeer.h"
#include "serialportmanager.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace linktest {

using namespace linkpeer;

struct LogLine
{
    QtMsgType type;
    QString category;
    QString text;
};

inline QList<LogLine> &logLines()
{
    static QList<LogLine> lines;
    return lines;
}

inline QtMessageHandler &previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

// Records every log line; passes everything but debug lines on to the test framework.
inline void captureLog()
{
    previousHandler() = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            logLines().append(LogLine {type, QString::fromLatin1(context.category), text});
            if (type != QtDebugMsg && type != QtInfoMsg && previousHandler())
                previousHandler()(type, context, text);
        });
}

inline int countLines(const QString &category, const QString &prefix)
{
    int n = 0;
    for (const LogLine &line : qAsConst(logLines()))
        if (line.category == category && line.text.startsWith(prefix))
            ++n;
    return n;
}

} // namespace linktest
