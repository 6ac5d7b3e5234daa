#include "ui/typed_values.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "graph/graph_model.h"
#include "shell/parameters.h"

namespace vexlan {

namespace {

constexpr double kGraphMinTopDb = -3.0;

bool meansSilence(const char* text) {
    return text[0] == '-' && std::tolower(static_cast<unsigned char>(text[1])) == 'i';
}

}  // namespace

double typedGraphMaxDb(const char* text) { return std::max(std::atof(text), 0.0); }

double typedGraphMinDb(const char* text) { return std::clamp(std::atof(text), kGraphFloorDb, kGraphMinTopDb); }

double typedParameterValue(int32_t index, const char* text) {
    switch (parameterKind(index)) {
        case ParameterKind::Decibel:
            return meansSilence(text) ? 0.0 : std::pow(10.0, std::atof(text) / 20.0);
        case ParameterKind::Linear: {
            const ParameterInfo& info = kParameters[index];
            return std::clamp((std::atof(text) - info.minimum) / (info.maximum - info.minimum), 0.0, 1.0);
        }
        case ParameterKind::Switch:
            break;
    }
    return 0.0;  // switches have check boxes, no edit box
}

}  // namespace vexlan
