#include "info_command.h"

#include <cstdarg>
#include <cstdio>

#include "plugin_session.h"
#include "plugin_settings.h"

namespace host {

namespace {

using namespace vexlan;

const char* const kCapabilities[] = {
    "hasQuovarExtensions", "hasQuovarViewAsConfig", "hasQuovarNoScrollUI", "hasQuovarEmbeddedUI",
    "supportsQuovarChanConfig",
    // A standard capability, for comparison.
    "receiveVstEvents",
};

// Text queries get a zeroed buffer larger than any limit a plug-in may use.
std::string queryText(const PluginSession& session, int32_t opcode, int32_t index = 0) {
    char text[512] = {};
    dispatch(session, opcode, index, 0, text);
    text[sizeof text - 1] = '\0';
    return text;
}

void printLine(std::ostream& out, const char* format, ...) {
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    out << line << '\n';
}

std::string fourCharacters(int32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((uint32_t(code) >> shift) & 0xFF);
        text += c >= 32 && c < 127 ? c : '?';
    }
    return text;
}

void printPins(std::ostream& out, const PluginSession& session, int32_t opcode, const char* kind, int count) {
    for (int pin = 0; pin < count; ++pin) {
        VstPinProperties properties{};
        if (!dispatch(session, opcode, pin, 0, &properties)) {
            printLine(out, "%s pin %d: (none)", kind, pin);
            continue;
        }
        properties.label[sizeof properties.label - 1] = '\0';
        printLine(out, "%s pin %d: %s, flags 0x%x", kind, pin, properties.label, unsigned(properties.flags));
    }
}

void printReport(std::ostream& out, const std::string& path, const PluginSession& session) {
    const AEffect& effect = *session.effect;
    printLine(out, "Plug-in: %s", path.c_str());
    printLine(out, "Effect name: %s", queryText(session, effGetEffectName).c_str());
    printLine(out, "Vendor: %s", queryText(session, effGetVendorString).c_str());
    printLine(out, "Product: %s", queryText(session, effGetProductString).c_str());
    printLine(out, "Unique id: '%s' (0x%08x)", fourCharacters(effect.uniqueID).c_str(), unsigned(effect.uniqueID));
    printLine(out, "Version: %d", int(effect.version));
    printLine(out, "Flags: 0x%x", unsigned(effect.flags));
    printLine(out, "Channels: %d in, %d out", int(effect.numInputs), int(effect.numOutputs));
    printLine(out, "Latency: %d samples", int(effect.initialDelay));
    printLine(out, "Programs: %d", int(effect.numPrograms));
    printLine(out, "Parameters: %d", int(effect.numParams));
    for (int index = 0; index < effect.numParams; ++index) {
        const std::string name = queryText(session, effGetParamName, index);
        const std::string unit = queryText(session, effGetParamLabel, index);
        const std::string display = queryText(session, effGetParamDisplay, index);
        printLine(out, "Parameter %d: %s = %s%s%s", index, name.c_str(), display.c_str(), unit.empty() ? "" : " ",
                  unit.c_str());
    }
    printPins(out, session, effGetInputProperties, "Input", effect.numInputs);
    printPins(out, session, effGetOutputProperties, "Output", effect.numOutputs);
    for (const char* capability : kCapabilities) {
        const intptr_t answer = dispatch(session, effCanDo, 0, 0, const_cast<char*>(capability));
        printLine(out, "Can do %s: 0x%llx", capability, static_cast<unsigned long long>(answer));
    }
}

}  // namespace

int runInfoCommand(const std::string& pluginPath, const PluginSettings& settings, std::ostream& out,
                   std::ostream& error) {
    const std::string path = pluginPath.empty() ? defaultPluginPath() : pluginPath;
    PluginSession session;
    std::string problem;
    if (!openSession(path, session, problem)) {
        error << problem << '\n';
        return 1;
    }
    if (!applySettings(session.effect, settings, 0.0, problem)) {
        closeSession(session);
        error << problem << '\n';
        return 1;
    }
    printReport(out, path, session);
    closeSession(session);
    return 0;
}

}  // namespace host
