#include "plugin_settings.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "noise_learning.h"

namespace host {

namespace {

using vexlan::AEffect;

// The host maker's requests for a parameter's normalised range and for the
// display text of any normalised value.
constexpr int32_t kVendorParameterRange = int32_t(0xDEADBEF0u);
constexpr int32_t kVendorFormatValue = 7;
constexpr intptr_t kVendorHandled = 0xBEEF;
constexpr int kTextBytes = 256;

intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string textQuery(AEffect* effect, int32_t opcode, int32_t index) {
    char text[kTextBytes] = {};
    dispatch(effect, opcode, index, 0, text, 0.0f);
    text[kTextBytes - 1] = '\0';
    return text;
}

bool formattedValue(AEffect* effect, int index, double normalised, double& real) {
    char text[kTextBytes] = {};
    if (dispatch(effect, vexlan::effVendorSpecific, kVendorFormatValue, index, text, float(normalised)) !=
        kVendorHandled) {
        return false;
    }
    text[kTextBytes - 1] = '\0';
    return parseNumber(text, real);
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string formatNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

bool applyChunkSettings(AEffect* effect, const PluginSettings& settings, std::string& error) {
    StateChunk chunk;
    if (!readPluginState(effect, chunk, error)) return false;
    if (settings.fftSize) chunk.fftSize = *settings.fftSize;
    if (settings.mode) chunk.processingMode = int32_t(*settings.mode);
    if (settings.curve) {
        chunk.points.clear();
        for (const CurvePoint& point : *settings.curve) chunk.points.push_back({float(point.frequency), float(point.gain)});
        chunk.table.clear();
        if (chunk.editMode == kEditModePrecise) chunk.editMode = kEditModeSmooth;
    }
    if (!settings.noisePath.empty() || !settings.noiseSections.empty()) {
        chunk.processingMode = int32_t(ProcessingMode::Subtract);
    }
    loadPluginState(effect, serialiseStateChunk(chunk));

    // The plug-in never refuses a chunk, so check that it took what counts.
    StateChunk loaded;
    if (!readPluginState(effect, loaded, error)) return false;
    if (loaded.fftSize != chunk.fftSize || loaded.processingMode != chunk.processingMode ||
        loaded.points.size() != chunk.points.size() || loaded.editMode != chunk.editMode) {
        error = "the plug-in did not take the settings through its saved state";
        return false;
    }
    return true;
}

}  // namespace

std::vector<HostParameter> describeParameters(AEffect* effect) {
    std::vector<HostParameter> parameters;
    for (int index = 0; index < effect->numParams; ++index) {
        HostParameter parameter;
        parameter.index = index;
        parameter.name = textQuery(effect, vexlan::effGetParamName, index);
        parameter.unit = textQuery(effect, vexlan::effGetParamLabel, index);
        double range[2] = {0.0, 1.0};
        if (dispatch(effect, vexlan::effVendorSpecific, kVendorParameterRange, index, range, 0.0f) == kVendorHandled &&
            range[1] > 0.0) {
            parameter.normalisedTop = range[1];
        }
        parameter.decibel = parameter.unit == "dB";
        if (!parameter.decibel) {
            double minimum = 0.0;
            double maximum = 1.0;
            // Without the formatting request the values stay normalised.
            if (formattedValue(effect, index, 0.0, minimum) &&
                formattedValue(effect, index, parameter.normalisedTop, maximum) && maximum > minimum) {
                parameter.realMinimum = minimum;
                parameter.realMaximum = maximum;
            } else {
                parameter.realMinimum = 0.0;
                parameter.realMaximum = parameter.normalisedTop;
            }
        }
        parameters.push_back(parameter);
    }
    return parameters;
}

const HostParameter* findParameter(const std::vector<HostParameter>& parameters, const std::string& name) {
    const std::string wanted = lowerCase(name);
    for (const HostParameter& parameter : parameters) {
        if (!parameter.name.empty() && lowerCase(parameter.name) == wanted) return &parameter;
    }
    return nullptr;
}

bool toNormalised(const HostParameter& parameter, const std::string& text, double& value, std::string& error) {
    if (parameter.decibel) {
        if (lowerCase(text) == "-inf") {
            value = 0.0;
            return true;
        }
        double dB = 0.0;
        if (!parseNumber(text, dB)) {
            error = parameter.name + ": \"" + text + "\" is not a number of dB";
            return false;
        }
        value = std::pow(10.0, dB / 20.0);
        if (value > parameter.normalisedTop * (1.0 + 1e-9)) {
            error = parameter.name + ": " + text + " dB is above the top of its range, " +
                    formatNumber(20.0 * std::log10(parameter.normalisedTop)) + " dB";
            return false;
        }
        return true;
    }
    double real = 0.0;
    if (!parseNumber(text, real)) {
        error = parameter.name + ": \"" + text + "\" is not a number";
        return false;
    }
    // The extremes come from display texts, so allow their last digit's rounding.
    const double span = parameter.realMaximum - parameter.realMinimum;
    const double slack = span * 1e-9;
    if (real < parameter.realMinimum - slack || real > parameter.realMaximum + slack) {
        error = parameter.name + ": " + text + " is outside its range " + formatNumber(parameter.realMinimum) +
                " to " + formatNumber(parameter.realMaximum) + (parameter.unit.empty() ? "" : " " + parameter.unit);
        return false;
    }
    value = std::min(std::max((real - parameter.realMinimum) / span, 0.0), 1.0) * parameter.normalisedTop;
    return true;
}

bool readPluginState(AEffect* effect, StateChunk& chunk, std::string& error) {
    void* data = nullptr;
    const intptr_t size = dispatch(effect, vexlan::effGetChunk, 0, 0, &data, 0.0f);
    if (size <= 0 || !data) {
        error = "the plug-in hands out no saved state";
        return false;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (!parseStateChunk(std::vector<uint8_t>(bytes, bytes + size), chunk, error)) {
        error = "the plug-in's saved state: " + error;
        return false;
    }
    return true;
}

void loadPluginState(AEffect* effect, const std::vector<uint8_t>& chunk) {
    // Not const for the plug-in's sake: effSetChunk takes a plain pointer.
    std::vector<uint8_t> copy = chunk;
    dispatch(effect, vexlan::effSetChunk, 0, intptr_t(copy.size()), copy.data(), 0.0f);
}

namespace {

bool applyParameters(AEffect* effect, const PluginSettings& settings, std::string& error) {
    if (settings.parameters.empty()) return true;
    const std::vector<HostParameter> parameters = describeParameters(effect);
    for (const ParameterAssignment& assignment : settings.parameters) {
        const HostParameter* parameter = findParameter(parameters, assignment.name);
        if (!parameter) {
            error = "unknown parameter \"" + assignment.name + "\" (known:";
            for (const HostParameter& known : parameters) error += (known.index ? ", " : " ") + known.name;
            error += ")";
            return false;
        }
        double value = 0.0;
        if (!toNormalised(*parameter, assignment.value, value, error)) return false;
        effect->setParameter(effect, parameter->index, float(value));
    }
    return true;
}

}  // namespace

bool applySettings(AEffect* effect, const PluginSettings& settings, double sampleRate, std::string& error) {
    if (!settings.statePath.empty()) {
        StateFile state;
        if (!readStateFile(settings.statePath, state, error)) return false;
        if (state.uniqueId != effect->uniqueID) {
            error = settings.statePath + ": the state belongs to another plug-in";
            return false;
        }
        loadPluginState(effect, state.chunk);
    }
    const bool learning = !settings.noisePath.empty() || !settings.noiseSections.empty();
    if (settings.mode && learning && *settings.mode != ProcessingMode::Subtract) {
        error = "noise learning works in subtract mode only";
        return false;
    }
    if (settings.mode || settings.fftSize || settings.curve || learning) {
        if (!applyChunkSettings(effect, settings, error)) return false;
    }
    if (!applyParameters(effect, settings, error)) return false;
    if (settings.noisePath.empty()) return true;
    const NoiseSection whole{0.0, settings.noiseSeconds > 0.0 ? settings.noiseSeconds : -1.0};
    return learnNoise(effect, settings.noisePath, {whole}, sampleRate, error);
}

}  // namespace host
