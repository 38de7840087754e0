// Writes the declaration of DeviceConfig, expanded from parameters.def, to standard output or to
// the file named by the first argument. The 181 parameters make a class worth reading spelled
// out (and moc reads it as plain declarations); parameters.def stays the only list of them.
#include "configkind.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Param
{
    const char *name;
    const char *type;
};

const std::vector<Param> &params()
{
    static const std::vector<Param> list = {
#define TAVIK_PARAM(name, kind, offset, bit) {#name, ConfigKindTraits<ConfigKind::kind>::kTypeName},
#include "parameters.def"
    };
    return list;
}

} // namespace

int main(int argc, char **argv)
{
    std::string out;
    auto line = [&out](const std::string &text) { out += text + '\n'; };

    line("// Generated from config/parameters.def by genconfigheader. Do not edit.");
    line("#pragma once");
    line("");
    line("#include \"baseconfig.h\"");
    line("#include \"configtypes.h\"");
    line("");
    line("#include <QByteArray>");
    line("#include <cstdint>");
    line("");
    line("// The working copy of the base's configuration: one property per firmware parameter.");
    line("// Every setter ignores an equal value; otherwise it logs \"set <name> = <value>\",");
    line("// stores the value (a name without any bytes after its text, a curve with at most ten");
    line("// points), emits <name>Changed and raises parametersModified.");
    line("class DeviceConfig : public BaseConfig");
    line("{");
    line("    Q_OBJECT");
    for (const Param &p : params()) {
        const std::string n = p.name;
        line("    Q_PROPERTY(" + std::string(p.type) + " " + n + " READ " + n + " WRITE set_" + n
            + " NOTIFY " + n + "Changed)");
    }
    line("");
    line("public:");
    line("    explicit DeviceConfig(QObject *parent = nullptr);");
    line("");
    line("    // Checks a 463-byte image and writes its fields through the setters. Throws the");
    line(
        "    // message as a QString when the size or the version is wrong; nothing changes then.");
    line("    void loadImage(const QByteArray &image);");
    line("");
    for (const Param &p : params())
        line("    " + std::string(p.type) + " " + p.name + "() const { return m_" + p.name + "; }");
    line("");
    line("Q_SIGNALS:");
    for (const Param &p : params())
        line("    void " + std::string(p.name) + "Changed(" + p.type + " value);");
    line("");
    line("public Q_SLOTS:");
    for (const Param &p : params())
        line("    void set_" + std::string(p.name) + "(" + p.type + " val);");
    line("");
    line("private:");
    line("    template<typename T>");
    line("    void assign(T &member, const T &val, const char *name, void "
         "(DeviceConfig::*changed)(T));");
    line("");
    for (const Param &p : params())
        line("    " + std::string(p.type) + " m_" + p.name + "{};");
    line("};");

    FILE *f = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    if (f != stdout && std::fclose(f) != 0)
        return 1;
    return ok ? 0 : 1;
}
