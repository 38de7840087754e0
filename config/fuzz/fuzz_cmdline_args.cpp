// Feeds arbitrary argument vectors (the input split at zero bytes) to the command-line scan.
// Both forms of the scan agree, and their result is the one a plain reading of the rules
// gives: "-config"/"-serial" take the next argument (the last one given wins), "-revert" sets
// its flag, everything else is skipped.

#include "fuzzsupport.h"
#include "headlesscmdlineprocessor.h"

#include <QStringList>

#include <string>
#include <vector>

using namespace fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    initialiseOnce();

    std::vector<std::string> words;
    words.emplace_back();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back().push_back(char(data[i]));
    }
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const int argc = int(words.size());

    using Processor = HeadlessCmdLineProcessor;
    const Processor::Options raw = Processor::parseArguments(argc, argv.data());
    check(Processor::wantsHeadless(argc, argv.data()) == raw.wantsHeadless());

    QStringList list;
    for (const std::string &w : words)
        list << QString::fromLocal8Bit(w.data(), int(w.size()));
    const Processor::Options fromList = Processor::parseArguments(list);
    check(raw.hasConfig == fromList.hasConfig && raw.configPath == fromList.configPath
        && raw.hasSerial == fromList.hasSerial && raw.serialNumber == fromList.serialNumber
        && raw.revert == fromList.revert);

    Processor::Options expected;
    for (int i = 0; i < list.size(); ++i) {
        const QString &w = list.at(i);
        if (i + 1 < list.size() && w == QLatin1String("-config")) {
            expected.hasConfig = true;
            expected.configPath = list.at(++i);
        } else if (i + 1 < list.size() && w == QLatin1String("-serial")) {
            expected.hasSerial = true;
            expected.serialNumber = list.at(++i);
        } else if (w == QLatin1String("-revert")) {
            expected.revert = true;
        }
    }
    check(raw.hasConfig == expected.hasConfig && raw.configPath == expected.configPath
        && raw.hasSerial == expected.hasSerial && raw.serialNumber == expected.serialNumber
        && raw.revert == expected.revert);
    return 0;
}
