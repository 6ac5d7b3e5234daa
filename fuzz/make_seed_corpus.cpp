// Writes the seed corpus of the state-chunk fuzz target: blocks saved by the
// plug-in itself from a spread of states (every processing and edit mode,
// FFT sizes and channel counts at both ends, empty and full graphs, drawn,
// flat and learned tables).
//
//   vexlan-state-chunk-seeds <directory>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "fuzz_host.h"
#include "graph/graph_model.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"

using namespace vexlan;

namespace {

struct Seed {
    const char* name;
    std::function<void(AEffect*, PluginInstance&)> prepare;
};

void setChannels(PluginInstance& instance, int32_t count) {
    LockHold state(instance.stateLock);
    setChannelCount(instance, count);
}

void setPoints(PluginInstance& instance, int count, double spreadDb) {
    instance.pointCount = count;
    for (int i = 0; i < count; ++i) {
        instance.points[i].frequency = 24000.0 * (i + 0.5) / count;
        instance.points[i].gain = spreadDb * std::sin(i * 1.7);
    }
}

const Seed kSeeds[] = {
    {"default", [](AEffect*, PluginInstance&) {}},
    {"precise-flat", [](AEffect*, PluginInstance& s) { setEditMode(s, kEditPrecise); }},
    {"precise-drawn",
     [](AEffect*, PluginInstance& s) {
         setPoints(s, 5, 18.0);
         evaluateGraph(s);
         setEditMode(s, kEditPrecise);
         for (int k = 900; k < 1400; ++k) s.binGainTable[k] = dbToAmplitude(-40.0 + 0.1 * (k - 900));
     }},
    {"precise-learned-profile",
     [](AEffect* e, PluginInstance& s) {
         s.processingMode = kModeSubtract;
         setEditMode(s, kEditPrecise);
         for (int k = 0; k < kBinGainTableSize; ++k) s.binGainTable[k] = k % 3 ? 0.0f : float(1e-3 / (1 + k % 17));
         setParameter(e, kParamGraphOffset, 1.5f);
     }},
    {"linear-32-points",
     [](AEffect*, PluginInstance& s) {
         setEditMode(s, kEditPointsLinear);
         setPoints(s, 32, 30.0);
         evaluateGraph(s);
     }},
    {"smooth-no-points", [](AEffect*, PluginInstance& s) { s.pointCount = 0; }},
    {"gate-fft128-mono",
     [](AEffect* e, PluginInstance& s) {
         s.processingMode = kModeGate;
         setFftSize(s, 128);
         setChannels(s, 1);
         setParameter(e, kParamGateFloor, 0.01f);
         setPoints(s, 3, -40.0);
         evaluateGraph(s);
     }},
    {"compressor-fft32768-128ch",
     [](AEffect* e, PluginInstance& s) {
         s.processingMode = kModeCompressor;
         setFftSize(s, 32768);
         setChannels(s, 128);
         s.meteringSource = 2;
         setParameter(e, kParamCompressorRatio, 0.9f);
         setParameter(e, kParamQuality, 1.0f);
     }},
    {"convolve-6ch-editor-size",
     [](AEffect* e, PluginInstance& s) {
         s.processingMode = kModeConvolve;
         setChannels(s, 6);
         s.meteringSource = 146;
         s.editorWidth = 900;
         s.editorHeight = 640;
         setParameter(e, kParamReduceArtifacts, 1.0f);
         setParameter(e, kParamOutputGain, 2.0f);
     }},
    {"subtract-narrow-range",
     [](AEffect* e, PluginInstance& s) {
         s.processingMode = kModeSubtract;
         s.graphMinDb = -3.0;
         s.graphMaxDb = 0.0;
         setFftSize(s, 1024);
         setPoints(s, 8, 10.0);
         evaluateGraph(s);
         setParameter(e, kParamShowAnalysis, 0.0f);
         setParameter(e, kParamAnalysisFloor, 0.001f);
     }},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    for (const Seed& seed : kSeeds) {
        AEffect* effect = VSTPluginMain(fuzzhost::callback);
        if (!effect) return 1;
        seed.prepare(effect, *instanceOf(effect));
        void* data = nullptr;
        const intptr_t size = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
        const std::string path = std::string(argv[1]) + "/" + seed.name + ".chunk";
        FILE* file = std::fopen(path.c_str(), "wb");
        const bool written = file && size > 0 && std::fwrite(data, 1, size_t(size), file) == size_t(size);
        if (file) std::fclose(file);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        if (!written) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s: %d bytes\n", path.c_str(), int(size));
    }
    return 0;
}
