// `process` and `save-state`: the block loop and latency compensation on a
// stand-in plug-in whose latency the test chooses, then the real plug-in
// driven through the commands and directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>

#include "file_test_support.h"
#include "noise_profile.h"
#include "plugin_session.h"
#include "plugin_settings.h"
#include "process_command.h"
#include "state_file.h"
#include "wav_file.h"

namespace {

using host::AudioData;
using vexlan::AEffect;

// A plug-in that delays every channel by exactly `latency` samples and
// reports that delay, recording what the host asks of it.
struct DelayPlugin {
    AEffect effect{};
    size_t latency = 0;
    bool takesChannelConfig = true;
    std::vector<std::deque<float>> lines;
    std::vector<int32_t> opcodes;  // dispatcher calls in order
    std::vector<int32_t> blockLengths;
    float sampleRate = 0.0f;
    int32_t requestedChannels = 0;

    DelayPlugin(size_t delay, int channels) : latency(delay) {
        effect.magic = vexlan::kEffectMagic;
        effect.object = this;
        effect.dispatcher = &dispatcher;
        effect.processReplacing = &process;
        effect.initialDelay = int32_t(delay);
        setChannels(channels);
    }
    void setChannels(int channels) {
        effect.numInputs = effect.numOutputs = channels;
        lines.assign(size_t(channels), std::deque<float>(latency, 0.0f));
    }
    static DelayPlugin& of(AEffect* effect) { return *static_cast<DelayPlugin*>(effect->object); }
    static intptr_t VST_CALL dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void*,
                                        float opt) {
        DelayPlugin& plugin = of(effect);
        plugin.opcodes.push_back(opcode);
        if (opcode == vexlan::effSetSampleRate) plugin.sampleRate = opt;
        if (opcode == vexlan::effVendorSpecific && index == 69 && opt == 1.0f) {
            plugin.requestedChannels = *reinterpret_cast<int32_t*>(value);
            if (plugin.takesChannelConfig) plugin.setChannels(plugin.requestedChannels);
            return 12;
        }
        return 0;
    }
    static void VST_CALL process(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
        DelayPlugin& plugin = of(effect);
        plugin.blockLengths.push_back(frames);
        for (size_t c = 0; c < plugin.lines.size(); ++c) {
            for (int32_t i = 0; i < frames; ++i) {
                plugin.lines[c].push_back(inputs[c][i]);
                outputs[c][i] = plugin.lines[c].front();
                plugin.lines[c].pop_front();
            }
        }
    }
};

AudioData testSignal(int channels, size_t frames, uint32_t rate = 44100) {
    host::WavFormat format;
    format.encoding = host::SampleEncoding::Float;
    format.bitsPerSample = 32;
    format.channels = channels;
    format.sampleRate = rate;
    AudioData audio = host::makeAudio(format, frames);
    uint32_t state = 0x9E3779B9u;
    for (auto& channel : audio.channels) {
        for (float& sample : channel) {
            state = state * 1664525u + 1013904223u;
            sample = float(int32_t(state) >> 8) / 16777216.0f;  // within -0.5 .. 0.5
        }
    }
    return audio;
}

TEST(ProcessLoop, LatencyCompensationLinesOutputUpWithInputExactly) {
    const AudioData input = testSignal(2, 3000);
    for (size_t latency : {0u, 1u, 255u, 4096u, 10000u}) {
        for (int block : {1, 64, 1000, 100000}) {
            DelayPlugin plugin(latency, 2);
            host::ProcessRun run;
            run.blockSize = block;
            AudioData output;
            std::string error;
            ASSERT_TRUE(host::processAudio(&plugin.effect, input, run, output, error)) << error;
            ASSERT_EQ(host::frameCount(output), 3000u);
            EXPECT_EQ(output.channels, input.channels) << "latency " << latency << ", block " << block;
            size_t fed = 0;
            for (int32_t length : plugin.blockLengths) {
                EXPECT_LE(length, block);
                fed += size_t(length);
            }
            EXPECT_EQ(fed, 3000u + latency);  // the input, then `latency` zeros
        }
    }
}

TEST(ProcessLoop, WithoutCompensationTheOutputKeepsThePluginDelay) {
    const AudioData input = testSignal(1, 500);
    for (size_t latency : {0u, 37u, 600u}) {
        DelayPlugin plugin(latency, 1);
        host::ProcessRun run;
        run.blockSize = 128;
        run.latencyCompensation = false;
        AudioData output;
        std::string error;
        ASSERT_TRUE(host::processAudio(&plugin.effect, input, run, output, error)) << error;
        ASSERT_EQ(host::frameCount(output), 500u);
        for (size_t i = 0; i < 500; ++i) {
            const float expected = i < latency ? 0.0f : input.channels[0][i - latency];
            ASSERT_EQ(output.channels[0][i], expected) << "latency " << latency << " sample " << i;
        }
    }
}

TEST(ProcessLoop, DrivesThePluginAsADawDoes) {
    DelayPlugin plugin(10, 2);
    const AudioData input = testSignal(3, 100, 48000);
    host::ProcessRun run;
    std::vector<size_t> progress;
    run.progress = [&progress](size_t done, size_t total) {
        EXPECT_EQ(total, 110u);
        progress.push_back(done);
    };
    run.blockSize = 40;
    AudioData output;
    std::string error;
    ASSERT_TRUE(host::processAudio(&plugin.effect, input, run, output, error)) << error;
    EXPECT_EQ(plugin.sampleRate, 48000.0f);
    EXPECT_EQ(plugin.requestedChannels, 3);
    EXPECT_EQ(output.channels, input.channels);
    EXPECT_EQ(progress, (std::vector<size_t>{40, 80, 110}));
    // Resumed before the first block, suspended after the last.
    const std::vector<int32_t> expected = {vexlan::effSetSampleRate, vexlan::effSetBlockSize,
                                           vexlan::effVendorSpecific, vexlan::effMainsChanged,
                                           vexlan::effStartProcess,  vexlan::effStopProcess,
                                           vexlan::effMainsChanged};
    EXPECT_EQ(plugin.opcodes, expected);

    // Two channels are the plug-in's own: no configuration request.
    run.progress = nullptr;
    DelayPlugin stereo(0, 2);
    ASSERT_TRUE(host::processAudio(&stereo.effect, testSignal(2, 10), run, output, error)) << error;
    EXPECT_EQ(stereo.requestedChannels, 0);

    DelayPlugin refusing(0, 2);
    refusing.takesChannelConfig = false;
    EXPECT_FALSE(host::processAudio(&refusing.effect, testSignal(5, 10), run, output, error));
    EXPECT_EQ(error, "the plug-in does not take 5 channels (it has 2 inputs and 2 outputs)");
}

// --- the real plug-in ---

struct CommandResult {
    int status;
    std::string out;
    std::string err;
};

template <typename Run>
CommandResult capture(Run run) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = run();
    CommandResult result{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    return result;
}

CommandResult runProcess(const std::vector<std::string>& args) {
    std::vector<std::string> full = {"process"};
    full.insert(full.end(), args.begin(), args.end());
    host::CommandLine line;
    std::string error;
    EXPECT_TRUE(host::parseCommandLine(full, line, error)) << error;
    return capture([&line] { return host::runProcessCommand(line); });
}

CommandResult runSaveState(const std::vector<std::string>& args) {
    std::vector<std::string> full = {"save-state", host::defaultPluginPath()};
    full.insert(full.end(), args.begin(), args.end());
    host::CommandLine line;
    std::string error;
    EXPECT_TRUE(host::parseCommandLine(full, line, error)) << error;
    return capture([&line] { return host::runSaveStateCommand(line); });
}

AudioData readBack(const std::string& path) {
    AudioData audio;
    std::string error;
    EXPECT_TRUE(host::readWav(path, audio, error)) << error;
    return audio;
}

void writeAudio(const std::string& path, const AudioData& audio) {
    std::string error;
    ASSERT_TRUE(host::writeWav(path, audio, error)) << error;
}

// The samples fed straight into a fresh instance in blocks, `latency`
// zeros after them, the first `latency` outputs dropped.
AudioData feedDirectly(const AudioData& input, int blockSize, float outputGain) {
    host::PluginSession session;
    std::string error;
    EXPECT_TRUE(host::openSession("", session, error)) << error;
    AEffect* effect = session.effect;
    effect->setParameter(effect, 4, outputGain);
    host::dispatch(session, vexlan::effSetSampleRate, 0, 0, nullptr, float(input.format.sampleRate));
    int32_t channels = input.format.channels;
    host::dispatch(session, vexlan::effVendorSpecific, 69, reinterpret_cast<intptr_t>(&channels), nullptr, 1.0f);
    host::dispatch(session, vexlan::effMainsChanged, 0, 1);
    const size_t latency = size_t(effect->initialDelay);
    const size_t frames = host::frameCount(input);
    std::vector<std::vector<float>> in = input.channels;
    std::vector<std::vector<float>> out(in.size());
    for (size_t c = 0; c < in.size(); ++c) {
        in[c].resize(frames + latency, 0.0f);
        out[c].resize(frames + latency, 0.0f);
    }
    std::vector<float*> inputs(in.size());
    std::vector<float*> outputs(in.size());
    for (size_t start = 0; start < frames + latency; start += size_t(blockSize)) {
        const size_t length = std::min(size_t(blockSize), frames + latency - start);
        for (size_t c = 0; c < in.size(); ++c) {
            inputs[c] = in[c].data() + start;
            outputs[c] = out[c].data() + start;
        }
        effect->processReplacing(effect, inputs.data(), outputs.data(), int32_t(length));
    }
    host::closeSession(session);
    AudioData result = input;
    for (size_t c = 0; c < in.size(); ++c) result.channels[c].assign(out[c].begin() + std::ptrdiff_t(latency), out[c].end());
    return result;
}

TEST(ProcessCommand, OutputEqualsFeedingTheSamplesThroughThePluginDirectly) {
    filetest::ScratchFolder folder;
    const AudioData input = testSignal(3, 20000);
    writeAudio(folder.file("in.wav"), input);
    const CommandResult result = runProcess({folder.file("in.wav"), folder.file("out.wav"), "--block", "300", "--set",
                                             "Output Gain=-6"});
    ASSERT_EQ(result.status, 0) << result.err;
    const AudioData output = readBack(folder.file("out.wav"));
    const AudioData direct = feedDirectly(input, 300, float(std::pow(10.0, -6.0 / 20.0)));
    ASSERT_EQ(host::frameCount(output), 20000u);
    EXPECT_EQ(output.channels, direct.channels);
    // One summary line with both levels and the speed.
    EXPECT_NE(result.out.find("in peak -6.0 dBFS"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("real time)\n"), std::string::npos) << result.out;
    EXPECT_TRUE(result.err.empty()) << result.err;
}

TEST(ProcessCommand, OutputKeepsTheInputFormatUnlessFloatIsAskedFor) {
    filetest::ScratchFolder folder;
    AudioData input = testSignal(1, 5000, 22050);
    input.format.encoding = host::SampleEncoding::Pcm;
    input.format.bitsPerSample = 24;
    input.format.extensible = true;
    writeAudio(folder.file("in.wav"), input);
    ASSERT_EQ(runProcess({folder.file("in.wav"), folder.file("same.wav")}).status, 0);
    const AudioData same = readBack(folder.file("same.wav"));
    EXPECT_EQ(same.format.encoding, host::SampleEncoding::Pcm);
    EXPECT_EQ(same.format.bitsPerSample, 24);
    EXPECT_TRUE(same.format.extensible);
    EXPECT_EQ(same.format.sampleRate, 22050u);
    EXPECT_EQ(host::frameCount(same), 5000u);

    ASSERT_EQ(runProcess({folder.file("in.wav"), folder.file("float.wav"), "--float"}).status, 0);
    const AudioData wide = readBack(folder.file("float.wav"));
    EXPECT_EQ(wide.format.encoding, host::SampleEncoding::Float);
    EXPECT_EQ(wide.format.bitsPerSample, 32);
    EXPECT_EQ(host::frameCount(wide), 5000u);
}

// Needs the spectral engine: with its flat default curve the plug-in
// passes the signal through, so only the delay handling moves the impulse.
TEST(ProcessCommand, AnImpulseComesOutAtItsOwnIndexThroughTheFlatDefault) {
    filetest::ScratchFolder folder;
    for (int block : {1000, 4096, 333}) {
        AudioData input = testSignal(2, 12000);
        for (auto& channel : input.channels) std::fill(channel.begin(), channel.end(), 0.0f);
        input.channels[0][7001] = 1.0f;
        input.channels[1][2] = -0.5f;
        writeAudio(folder.file("impulse.wav"), input);
        const CommandResult result =
            runProcess({folder.file("impulse.wav"), folder.file("out.wav"), "--block", std::to_string(block)});
        ASSERT_EQ(result.status, 0) << result.err;
        const AudioData output = readBack(folder.file("out.wav"));
        for (size_t c = 0; c < 2; ++c) {
            for (size_t i = 0; i < 12000; ++i) {
                ASSERT_NEAR(output.channels[c][i], input.channels[c][i], 1e-5) << "block " << block << " channel " << c
                                                                              << " sample " << i;
            }
        }
    }
}

host::StateChunk pluginStateAfter(const host::PluginSettings& settings, double sampleRate = 44100.0) {
    host::PluginSession session;
    std::string error;
    EXPECT_TRUE(host::openSession("", session, error)) << error;
    EXPECT_TRUE(host::applySettings(session.effect, settings, sampleRate, error)) << error;
    host::StateChunk chunk;
    EXPECT_TRUE(host::readPluginState(session.effect, chunk, error)) << error;
    host::closeSession(session);
    return chunk;
}

TEST(PluginSettings, ParametersAreFoundByNameAndTakeRealUnits) {
    host::PluginSession session;
    std::string error;
    ASSERT_TRUE(host::openSession("", session, error)) << error;
    const std::vector<host::HostParameter> parameters = host::describeParameters(session.effect);
    host::closeSession(session);
    ASSERT_EQ(parameters.size(), 8u);

    const host::HostParameter* gain = host::findParameter(parameters, "output GAIN");
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->index, 4);
    EXPECT_TRUE(gain->decibel);
    EXPECT_DOUBLE_EQ(gain->normalisedTop, 2.0);
    double value = 0.0;
    ASSERT_TRUE(host::toNormalised(*gain, "-6", value, error)) << error;
    EXPECT_NEAR(value, 0.501187, 1e-6);
    ASSERT_TRUE(host::toNormalised(*gain, "-inf", value, error));
    EXPECT_EQ(value, 0.0);
    ASSERT_TRUE(host::toNormalised(*gain, "6", value, error)) << error;
    EXPECT_FALSE(host::toNormalised(*gain, "6.1", value, error));
    EXPECT_NE(error.find("above the top of its range"), std::string::npos) << error;
    EXPECT_FALSE(host::toNormalised(*gain, "loud", value, error));

    const host::HostParameter* ratio = host::findParameter(parameters, "compressor ratio");
    ASSERT_NE(ratio, nullptr);
    EXPECT_FALSE(ratio->decibel);
    EXPECT_DOUBLE_EQ(ratio->realMinimum, 0.2);
    EXPECT_DOUBLE_EQ(ratio->realMaximum, 100.0);
    ASSERT_TRUE(host::toNormalised(*ratio, "1", value, error)) << error;
    EXPECT_NEAR(value, 0.8 / 99.8, 1e-12);
    ASSERT_TRUE(host::toNormalised(*ratio, "100", value, error)) << error;
    EXPECT_DOUBLE_EQ(value, 1.0);
    for (const char* outside : {"0.1", "100.5", "-3"}) {
        EXPECT_FALSE(host::toNormalised(*ratio, outside, value, error)) << outside;
        EXPECT_NE(error.find("outside its range 0.2 to 100"), std::string::npos) << error;
    }

    const host::HostParameter* analysis = host::findParameter(parameters, "Show Analysis");
    ASSERT_NE(analysis, nullptr);
    ASSERT_TRUE(host::toNormalised(*analysis, "0", value, error));
    EXPECT_EQ(value, 0.0);
    ASSERT_TRUE(host::toNormalised(*analysis, "1", value, error));
    EXPECT_EQ(value, 1.0);
    EXPECT_FALSE(host::toNormalised(*analysis, "2", value, error));
    EXPECT_EQ(host::findParameter(parameters, "Output"), nullptr);
}

TEST(PluginSettings, ModeFftAndCurveReachThePluginThroughItsState) {
    host::PluginSettings settings;
    settings.mode = host::ProcessingMode::Compressor;
    settings.fftSize = 1024;
    settings.curve = std::vector<host::CurvePoint>{{50.0, -3.0}, {1000.0, 6.0}, {12000.0, -20.0}};
    settings.parameters = {{"Output Gain", "-12"}};
    const host::StateChunk chunk = pluginStateAfter(settings);
    EXPECT_EQ(chunk.processingMode, 2);
    EXPECT_EQ(chunk.fftSize, 1024);
    ASSERT_EQ(chunk.points.size(), 3u);
    EXPECT_EQ(chunk.points[2].frequency, 12000.0f);
    EXPECT_EQ(chunk.points[2].gain, -20.0f);
    EXPECT_NEAR(chunk.outputGain, std::pow(10.0, -12.0 / 20.0), 1e-6);
    // Fields not asked for keep the plug-in's own values.
    const host::StateChunk defaults = pluginStateAfter({});
    EXPECT_EQ(chunk.editMode, defaults.editMode);
    EXPECT_EQ(chunk.graphMinDb, defaults.graphMinDb);
    EXPECT_EQ(chunk.quality, defaults.quality);
    EXPECT_EQ(chunk.showAnalysis, defaults.showAnalysis);
}

TEST(PluginSettings, LearntNoiseProfileArrivesAsThePreciseTableOfSubtractMode) {
    filetest::ScratchFolder folder;
    AudioData noise = testSignal(2, 30000);
    writeAudio(folder.file("noise.wav"), noise);
    host::PluginSettings settings;
    settings.fftSize = 2048;
    settings.noisePath = folder.file("noise.wav");
    settings.noiseSeconds = 0.5;
    const host::StateChunk chunk = pluginStateAfter(settings);
    EXPECT_EQ(chunk.processingMode, 4);
    EXPECT_EQ(chunk.editMode, host::kEditModePrecise);
    EXPECT_EQ(chunk.fftSize, 2048);
    const std::vector<float> expected = host::learnNoiseProfile(noise, 22050, 2048, false);
    ASSERT_EQ(chunk.table.size(), expected.size());
    // The plug-in hands its table back compressed, each value within 1 %.
    for (size_t k = 0; k < expected.size(); ++k) ASSERT_NEAR(chunk.table[k], expected[k], 0.01 * expected[k]) << k;

    std::string error;
    host::PluginSession session;
    ASSERT_TRUE(host::openSession("", session, error)) << error;
    EXPECT_FALSE(host::applySettings(session.effect, settings, 48000.0, error));
    EXPECT_NE(error.find("runs at 44100 Hz, the audio at 48000 Hz"), std::string::npos) << error;
    settings.mode = host::ProcessingMode::Eq;
    EXPECT_FALSE(host::applySettings(session.effect, settings, 44100.0, error));
    EXPECT_EQ(error, "--learn-noise works in subtract mode only");
    host::closeSession(session);
}

// Needs the spectral engine: subtracting a profile learnt from the hiss
// alone lowers the hiss well below where it was.
TEST(ProcessCommand, SubtractWithALearntProfileLowersTheNoiseFloor) {
    filetest::ScratchFolder folder;
    AudioData noise = testSignal(2, 44100);
    for (auto& channel : noise.channels) {
        for (float& sample : channel) sample *= 0.02f;
    }
    writeAudio(folder.file("hiss.wav"), noise);
    ASSERT_EQ(runProcess({folder.file("hiss.wav"), folder.file("clean.wav"), "--learn-noise", folder.file("hiss.wav"),
                          "--noise-seconds", "0.5"})
                  .status,
              0);
    const AudioData clean = readBack(folder.file("clean.wav"));
    double before = 0.0;
    double after = 0.0;
    for (size_t c = 0; c < 2; ++c) {
        for (size_t i = 22050; i < 44100; ++i) {
            before += double(noise.channels[c][i]) * noise.channels[c][i];
            after += double(clean.channels[c][i]) * clean.channels[c][i];
        }
    }
    EXPECT_LT(10.0 * std::log10(after / before), -10.0);
}

TEST(StateFiles, SavedStateIsAppliedAsADawRestoresAProject) {
    filetest::ScratchFolder folder;
    const std::string state = folder.file("song.vxs");
    const CommandResult saved =
        runSaveState({state, "--mode", "gate", "--fft", "512", "--set", "Gate Floor=-40", "--curve", "200:-10,4000:5"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_NE(saved.out.find("saved"), std::string::npos);

    host::StateFile file;
    std::string error;
    ASSERT_TRUE(host::readStateFile(state, file, error)) << error;
    host::PluginSettings settings;
    settings.statePath = state;
    const host::StateChunk restored = pluginStateAfter(settings);
    EXPECT_EQ(restored.processingMode, 1);
    EXPECT_EQ(restored.fftSize, 512);
    EXPECT_NEAR(restored.gateFloor, 0.01, 1e-6);
    ASSERT_EQ(restored.points.size(), 2u);
    EXPECT_EQ(restored.points[1].gain, 5.0f);
    // Saved again from the restored instance, the state is the same.
    const CommandResult again = runSaveState({folder.file("again.vxs"), "--state", state});
    ASSERT_EQ(again.status, 0) << again.err;
    host::StateFile second;
    ASSERT_TRUE(host::readStateFile(folder.file("again.vxs"), second, error)) << error;
    EXPECT_EQ(second.chunk, file.chunk);

    // Settings given with --state override what the state holds.
    settings.mode = host::ProcessingMode::Eq;
    EXPECT_EQ(pluginStateAfter(settings).processingMode, 0);
}

TEST(StateFiles, APluginNamedByARelativePathIsFoundInTheCurrentFolder) {
    EXPECT_EQ(host::pluginPathToLoad(""), "");
    const std::string relative =
        filetest::fs::relative(host::defaultPluginPath(), filetest::fs::current_path()).string();
    ASSERT_TRUE(filetest::fs::path(relative).is_relative()) << relative;
    EXPECT_TRUE(filetest::fs::path(host::pluginPathToLoad(relative)).is_absolute());
    filetest::ScratchFolder folder;
    host::CommandLine line;
    std::string error;
    ASSERT_TRUE(host::parseCommandLine({"save-state", relative, folder.file("s.vxs")}, line, error)) << error;
    const CommandResult result = capture([&line] { return host::runSaveStateCommand(line); });
    EXPECT_EQ(result.status, 0) << result.err;
}

// Every bad input: exit status 1, one line on stderr naming the problem,
// and no output file.
TEST(ProcessCommand, BadInputIsRefusedWithOneLineAndNoOutputFile) {
    filetest::ScratchFolder folder;
    writeAudio(folder.file("good.wav"), testSignal(2, 3000));
    const std::vector<uint8_t> good = filetest::readBytes(folder.file("good.wav"));
    filetest::writeBytes(folder.file("text.wav"), std::vector<uint8_t>(300, 'x'));
    filetest::writeBytes(folder.file("cut.wav"), std::vector<uint8_t>(good.begin(), good.end() - 100));
    std::vector<uint8_t> eightBit = good;  // float 32 -> PCM 8 in the fmt chunk
    eightBit[20] = 1;
    eightBit[32] = 2;
    eightBit[34] = 8;
    filetest::writeBytes(folder.file("8bit.wav"), eightBit);
    std::vector<uint8_t> wide = good;
    wide[22] = 129;
    wide[32] = uint8_t(129 * 4);
    wide[33] = uint8_t((129 * 4) >> 8);
    filetest::writeBytes(folder.file("129ch.wav"), wide);
    filetest::writeBytes(folder.file("bad.vxs"), std::vector<uint8_t>(good.begin(), good.begin() + 64));
    host::StateFile foreign;
    foreign.uniqueId = 0x12345678;
    foreign.chunk = host::serialiseStateChunk(pluginStateAfter({}));
    std::string error;
    ASSERT_TRUE(host::writeStateFile(folder.file("foreign.vxs"), foreign, error)) << error;
    const std::vector<std::string> inputs = folder.entries();

    const std::string in = folder.file("good.wav");
    const std::string out = folder.file("out.wav");
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{folder.file("absent.wav"), out}, "cannot open"},
        {{folder.file("text.wav"), out}, "not a WAV file"},
        {{folder.file("cut.wav"), out}, "truncated"},
        {{folder.file("8bit.wav"), out}, "unsupported format: 8-bit PCM"},
        {{folder.file("129ch.wav"), out}, "129 channels (at most 128)"},
        {{in, out, "--set", "Wetness=3"}, "unknown parameter \"Wetness\" (known: Show analysis, "},
        {{in, out, "--set", "Output Gain=+9"}, "above the top of its range"},
        {{in, out, "--set", "Compressor Ratio=500"}, "outside its range"},
        {{in, out, "--state", folder.file("bad.vxs")}, "not a Vexlan state file"},
        {{in, out, "--state", folder.file("good.wav")}, "not a Vexlan state file"},
        {{in, out, "--state", folder.file("foreign.vxs")}, "belongs to another plug-in"},
        {{in, out, "--learn-noise", folder.file("absent.wav")}, "cannot open"},
        {{in, out, "--plugin", folder.file("good.wav")}, "good.wav"},
        {{in, folder.file("missing/out.wav")}, "cannot create"},
    };
    for (const auto& bad : cases) {
        const CommandResult result = runProcess(bad.args);
        EXPECT_EQ(result.status, 1) << bad.reason;
        EXPECT_EQ(result.err.rfind("vexlan-host: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(bad.reason), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_EQ(folder.entries(), inputs) << bad.reason;
    }
}

}  // namespace
