// `process` and `save-state`: the streaming loop and latency compensation
// on a stand-in plug-in whose latency the test chooses, then the real
// plug-in driven through the commands and directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>

#if !defined(_WIN32)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "file_test_support.h"
#include "plugin_run.h"
#include "plugin_session.h"
#include "plugin_settings.h"
#include "state_file.h"

namespace {

using filetest::CommandResult;
using filetest::readBack;
using filetest::runCommand;
using filetest::writeAudio;
using host::AudioData;
using host::SampleEncoding;
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

AudioData testSignal(int channels, size_t frames, uint32_t rate = 44100,
                     SampleEncoding encoding = SampleEncoding::Float, int bits = 32) {
    AudioData audio = host::makeAudio({host::FileType::Wav, encoding, bits, channels, rate}, frames);
    uint32_t state = 0x9E3779B9u;
    for (auto& channel : audio.channels) {
        for (float& sample : channel) {
            state = state * 1664525u + 1013904223u;
            sample = float(int32_t(state) >> 8) / 16777216.0f;  // within -0.5 .. 0.5
        }
    }
    return audio;
}

// Resumes `effect`, streams `input` through it from memory and suspends it;
// `aligned` receives the input the sink was handed beside each output.
bool processInMemory(AEffect* effect, const AudioData& input, const host::PluginRun& run, AudioData& output,
                     std::string& error, AudioData* aligned = nullptr) {
    const size_t channels = size_t(input.format.channels);
    const size_t frames = host::frameCount(input);
    if (!host::resumePlugin(effect, input.format.sampleRate, input.format.channels, run.blockSize, error)) return false;
    output = host::makeAudio(input.format, 0);
    if (aligned) *aligned = output;
    size_t read = 0;
    const host::FrameSource source = [&](float* samples, size_t wanted, size_t& got, std::string&) {
        got = std::min(wanted, frames - read);
        for (size_t i = 0; i < got; ++i) {
            for (size_t c = 0; c < channels; ++c) samples[i * channels + c] = input.channels[c][read + i];
        }
        read += got;
        return true;
    };
    const host::FrameSink sink = [&](const float* out, const float* in, size_t count, std::string&) {
        EXPECT_EQ(in != nullptr, run.alignedInput);
        for (size_t i = 0; i < count; ++i) {
            for (size_t c = 0; c < channels; ++c) {
                output.channels[c].push_back(out[i * channels + c]);
                if (aligned && in) aligned->channels[c].push_back(in[i * channels + c]);
            }
        }
        return true;
    };
    const bool ok = host::runPlugin(effect, input.format.channels, run, source, sink, error);
    host::suspendPlugin(effect);
    return ok;
}

// Compensated, the output is the input exactly, whatever the latency and the
// block; uncompensated, it keeps the plug-in's delay.
TEST(ProcessLoop, LatencyCompensationLinesOutputUpWithInputExactly) {
    const AudioData input = testSignal(2, 3000);
    for (bool compensate : {true, false}) {
        for (size_t latency : {0u, 1u, 255u, 4096u, 10000u}) {
            for (int block : {1, 64, 1000, 100000}) {
                SCOPED_TRACE(testing::Message() << "compensate " << compensate << ", latency " << latency
                                                << ", block " << block);
                DelayPlugin plugin(latency, 2);
                host::PluginRun run;
                run.blockSize = block;
                run.latencyCompensation = compensate;
                run.alignedInput = true;
                AudioData output;
                AudioData aligned;
                std::string error;
                ASSERT_TRUE(processInMemory(&plugin.effect, input, run, output, error, &aligned)) << error;
                AudioData expected = input;
                for (std::vector<float>& channel : expected.channels) {
                    if (!compensate) channel.insert(channel.begin(), latency, 0.0f);
                    channel.resize(3000);
                }
                EXPECT_EQ(output.channels, expected.channels);
                // What a delta file is made of: each output beside its own input.
                EXPECT_EQ(aligned.channels, input.channels);
                size_t fed = 0;
                for (int32_t length : plugin.blockLengths) {
                    EXPECT_LE(length, block);
                    fed += size_t(length);
                }
                EXPECT_EQ(fed, 3000u + (compensate ? latency : 0u));  // the input, then `latency` zeros
            }
        }
    }
}

TEST(ProcessLoop, DrivesThePluginAsADawDoes) {
    DelayPlugin plugin(10, 2);
    const AudioData input = testSignal(3, 20000, 48000);
    host::PluginRun run;
    run.blockSize = 4000;
    AudioData output;
    std::string error;
    ASSERT_TRUE(processInMemory(&plugin.effect, input, run, output, error)) << error;
    EXPECT_EQ(plugin.sampleRate, 48000.0f);
    EXPECT_EQ(plugin.requestedChannels, 3);
    EXPECT_EQ(output.channels, input.channels);
    EXPECT_EQ(plugin.blockLengths, (std::vector<int32_t>{4000, 4000, 4000, 4000, 4000, 10}));
    // Resumed before the first block, suspended after the last.
    const std::vector<int32_t> expected = {vexlan::effSetSampleRate, vexlan::effSetBlockSize,
                                           vexlan::effVendorSpecific, vexlan::effMainsChanged,
                                           vexlan::effStartProcess,  vexlan::effStopProcess,
                                           vexlan::effMainsChanged};
    EXPECT_EQ(plugin.opcodes, expected);

    // Two channels are the plug-in's own: no configuration request.
    DelayPlugin stereo(0, 2);
    ASSERT_TRUE(processInMemory(&stereo.effect, testSignal(2, 10), run, output, error)) << error;
    EXPECT_EQ(stereo.requestedChannels, 0);

    DelayPlugin refusing(0, 2);
    refusing.takesChannelConfig = false;
    EXPECT_FALSE(processInMemory(&refusing.effect, testSignal(5, 10), run, output, error));
    EXPECT_EQ(error, "the plug-in does not take 5 channels (it has 2 inputs and 2 outputs)");
}

// --- the real plug-in ---

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
    const CommandResult result = runCommand({"process", folder.file("in.wav"), folder.file("out.wav"), "--block",
                                             "300", "--set", "Output Gain=-6"});
    ASSERT_EQ(result.status, 0) << result.err;
    const AudioData output = readBack(folder.file("out.wav"));
    const AudioData direct = feedDirectly(input, 300, float(std::pow(10.0, -6.0 / 20.0)));
    ASSERT_EQ(host::frameCount(output), 20000u);
    EXPECT_EQ(output.channels, direct.channels);
    // The summary line gives the levels.
    EXPECT_NE(result.out.find("in peak -6.0 dBFS"), std::string::npos) << result.out;
    EXPECT_TRUE(result.err.empty()) << result.err;
}

TEST(ProcessCommand, OutputKeepsTheInputFormatUnlessFloatIsAskedFor) {
    filetest::ScratchFolder folder;
    AudioData input = testSignal(1, 5000, 22050, SampleEncoding::Pcm, 24);
    input.format.extensible = true;
    writeAudio(folder.file("in.wav"), input);
    ASSERT_EQ(runCommand({"process", folder.file("in.wav"), folder.file("same.wav")}).status, 0);
    const AudioData same = readBack(folder.file("same.wav"));
    EXPECT_EQ(same.format.encoding, SampleEncoding::Pcm);
    EXPECT_EQ(same.format.bitsPerSample, 24);
    EXPECT_TRUE(same.format.extensible);
    EXPECT_EQ(same.format.sampleRate, 22050u);

    ASSERT_EQ(runCommand({"process", folder.file("in.wav"), folder.file("float.wav"), "--float"}).status, 0);
    const AudioData wide = readBack(folder.file("float.wav"));
    EXPECT_EQ(wide.format.encoding, SampleEncoding::Float);
    EXPECT_EQ(wide.format.bitsPerSample, 32);
}

host::StateChunk pluginStateAfter(const host::PluginSettings& settings) {
    host::PluginSession session;
    std::string error;
    EXPECT_TRUE(host::openSession("", session, error)) << error;
    EXPECT_TRUE(host::applySettings(session.effect, settings, 44100.0, error)) << error;
    host::StateChunk chunk;
    EXPECT_TRUE(host::readPluginState(session.effect, chunk, error)) << error;
    host::closeSession(session);
    return chunk;
}

// A decibel value reaches the plug-in in the command tests (the output against
// feeding it directly); here a value of each kind at its ends.
TEST(PluginSettings, ParametersAreFoundByNameAndTakeRealUnits) {
    host::PluginSession session;
    std::string error;
    ASSERT_TRUE(host::openSession("", session, error)) << error;
    const std::vector<host::HostParameter> parameters = host::describeParameters(session.effect);
    host::closeSession(session);
    ASSERT_EQ(parameters.size(), 8u);
    EXPECT_EQ(host::findParameter(parameters, "Output"), nullptr) << "whole names only";
    const struct {
        const char* name;
        const char* text;
        bool taken;
        double normalised;
    } cases[] = {
        {"output GAIN", "-inf", true, 0.0},
        {"output GAIN", "6", true, 1.995262},
        {"output GAIN", "6.1", false, 0.0},
        {"compressor ratio", "1", true, 0.008016},
        {"compressor ratio", "100", true, 1.0},
        {"compressor ratio", "0.1", false, 0.0},
        {"compressor ratio", "100.5", false, 0.0},
        {"Show Analysis", "2", false, 0.0},
    };
    for (const auto& test : cases) {
        const host::HostParameter* parameter = host::findParameter(parameters, test.name);
        ASSERT_NE(parameter, nullptr) << test.name;
        double value = -1.0;
        EXPECT_EQ(host::toNormalised(*parameter, test.text, value, error), test.taken) << test.name << " " << test.text;
        if (test.taken) {
            EXPECT_NEAR(value, test.normalised, 1e-6) << test.name << " " << test.text;
        }
    }
}

AudioData hissWithATone(uint32_t rate, size_t frames) {
    AudioData audio = testSignal(2, frames, rate);
    for (size_t c = 0; c < 2; ++c) {
        for (size_t i = 0; i < frames; ++i) {
            audio.channels[c][i] *= 0.04f;
            // A tone in the middle third only: the rest is noise to learn from.
            if (i > frames / 3 && i < 2 * frames / 3) audio.channels[c][i] += 0.3f * float(std::sin(0.05 * double(i)));
        }
    }
    return audio;
}

double rmsDb(const AudioData& audio, size_t from, size_t to) {
    double sum = 0.0;
    for (const auto& channel : audio.channels) {
        for (size_t i = from; i < to; ++i) sum += double(channel[i]) * channel[i];
    }
    return 10.0 * std::log10(sum / double(2 * (to - from)));
}

// The plug-in learns the profile: from sections of the input, from a file
// holding just those sections, or restored from the state saved after
// learning, the output is the same, and the hiss is well down.
TEST(NoiseLearning, SectionsAFileOfThemAndASavedProfileGiveTheSameOutput) {
    filetest::ScratchFolder folder;
    const uint32_t rate = 44100;
    const AudioData input = hissWithATone(rate, 3 * rate);
    writeAudio(folder.file("in.wav"), input);
    AudioData noise = host::makeAudio(input.format, 0);
    for (size_t c = 0; c < 2; ++c) {
        const std::vector<float>& from = input.channels[c];
        noise.channels[c].assign(from.begin(), from.begin() + rate / 2);
        noise.channels[c].insert(noise.channels[c].end(), from.end() - rate / 2, from.end());
    }
    writeAudio(folder.file("noise.wav"), noise);

    const std::vector<std::vector<std::string>> runs = {
        {"sections.wav", "--noise-from", "0:0.5", "--noise-from", "2.5:3", "--save-state", folder.file("s.vxs")},
        {"file.wav", "--learn-noise", folder.file("noise.wav")},
        {"restored.wav", "--state", folder.file("s.vxs")},
    };
    std::vector<AudioData> outputs;
    for (const std::vector<std::string>& run : runs) {
        const CommandResult result = runCommand(
            {"process", folder.file("in.wav"), folder.file(run[0]), "--fft", "2048"}, {run.begin() + 1, run.end()});
        ASSERT_EQ(result.status, 0) << result.err;
        outputs.push_back(readBack(folder.file(run[0])));
    }
    EXPECT_EQ(outputs[0].channels, outputs[1].channels);
    EXPECT_EQ(outputs[0].channels, outputs[2].channels);
    EXPECT_LT(rmsDb(outputs[0], 2 * rate + rate / 2, 3 * rate) - rmsDb(input, 2 * rate + rate / 2, 3 * rate), -10.0);

    host::PluginSettings settings;
    settings.statePath = folder.file("s.vxs");
    const host::StateChunk chunk = pluginStateAfter(settings);
    EXPECT_EQ(chunk.processingMode, 4);
    EXPECT_EQ(chunk.editMode, host::kEditModePrecise);
    EXPECT_EQ(chunk.fftSize, 2048);
}

// Fields the settings do not name keep the plug-in's own values; settings
// given with --state override what the state holds.
TEST(StateFiles, SavedStateIsAppliedAsADawRestoresAProject) {
    filetest::ScratchFolder folder;
    const std::string state = folder.file("song.vxs");
    const CommandResult saved = runCommand({"save-state", host::defaultPluginPath(), state, "--mode", "compressor",
                                            "--fft", "1024", "--set", "Gate Floor=-40", "--set", "Output Gain=-12",
                                            "--curve", "50:-3,1000:6,12000:-20"});
    ASSERT_EQ(saved.status, 0) << saved.err;

    host::StateFile file;
    std::string error;
    ASSERT_TRUE(host::readStateFile(state, file, error)) << error;
    host::PluginSettings settings;
    settings.statePath = state;
    const host::StateChunk restored = pluginStateAfter(settings);
    EXPECT_EQ(restored.processingMode, 2);
    EXPECT_EQ(restored.fftSize, 1024);
    EXPECT_NEAR(restored.gateFloor, 0.01, 1e-6);
    EXPECT_NEAR(restored.outputGain, std::pow(10.0, -12.0 / 20.0), 1e-6);
    ASSERT_EQ(restored.points.size(), 3u);
    EXPECT_EQ(restored.points[2].frequency, 12000.0f);
    EXPECT_EQ(restored.points[2].gain, -20.0f);
    const host::StateChunk defaults = pluginStateAfter({});
    EXPECT_EQ(restored.editMode, defaults.editMode);
    EXPECT_EQ(restored.graphMinDb, defaults.graphMinDb);
    EXPECT_EQ(restored.quality, defaults.quality);
    EXPECT_EQ(restored.showAnalysis, defaults.showAnalysis);
    // Saved again from the restored instance, the state is the same.
    const CommandResult again =
        runCommand({"save-state", host::defaultPluginPath(), folder.file("again.vxs"), "--state", state});
    ASSERT_EQ(again.status, 0) << again.err;
    host::StateFile second;
    ASSERT_TRUE(host::readStateFile(folder.file("again.vxs"), second, error)) << error;
    EXPECT_EQ(second.chunk, file.chunk);

    settings.mode = host::ProcessingMode::Eq;
    EXPECT_EQ(pluginStateAfter(settings).processingMode, 0);
    settings.mode = host::ProcessingMode::Gate;
    EXPECT_EQ(pluginStateAfter(settings).processingMode, 1);
}

// The delta is the input minus the output it lines up with: silence
// through the flat default (the output rounds back to the 16-bit input),
// and exactly the float difference through a gate.
TEST(ProcessCommand, DeltaIsTheInputMinusTheAlignedOutput) {
    filetest::ScratchFolder folder;
    const struct {
        SampleEncoding encoding;
        int bits;
        std::vector<std::string> settings;
    } cases[] = {
        {SampleEncoding::Pcm, 16, {}},
        {SampleEncoding::Float, 32, {"--mode", "gate", "--curve", "0:-30,24000:-30", "--fft", "512"}},
    };
    for (const auto& test : cases) {
        writeAudio(folder.file("in.wav"), testSignal(2, 30000, 44100, test.encoding, test.bits));
        const CommandResult result = runCommand(
            {"process", folder.file("in.wav"), folder.file("out.wav"), "--delta", folder.file("delta.wav")},
            test.settings);
        ASSERT_EQ(result.status, 0) << result.err;
        const AudioData input16 = readBack(folder.file("in.wav"));
        const AudioData output = readBack(folder.file("out.wav"));
        const AudioData delta = readBack(folder.file("delta.wav"));
        ASSERT_EQ(host::frameCount(delta), 30000u);
        EXPECT_EQ(delta.format.bitsPerSample, test.bits);
        size_t nonZero = 0;
        for (size_t c = 0; c < 2; ++c) {
            for (size_t i = 0; i < 30000; ++i) {
                if (delta.channels[c][i] != 0.0f) ++nonZero;
                if (test.bits == 32) {
                    ASSERT_EQ(delta.channels[c][i], input16.channels[c][i] - output.channels[c][i]) << c << ", " << i;
                }
            }
        }
        if (test.bits == 16) {
            EXPECT_EQ(nonZero, 0u);
        } else {
            EXPECT_GT(nonZero, 30000u);
        }
    }
}

// One failing file is reported and the others are processed as they
// would be alone; the exit status tells that something failed.
TEST(ProcessCommand, BatchGoesOnPastABrokenFileAndSumsUp) {
    filetest::ScratchFolder folder;
    const std::string second = host::canWriteFileType(host::FileType::Flac) ? "b.flac" : "b.wav";
    writeAudio(folder.file("a.wav"), testSignal(2, 20000));
    writeAudio(folder.file(second), testSignal(1, 9000, 48000, SampleEncoding::Pcm, 16));
    filetest::writeBytes(folder.file("broken.wav"), std::vector<uint8_t>(300, 'x'));
    filetest::fs::create_directories(folder.file("out"));
    filetest::fs::create_directories(folder.file("removed"));
    const std::vector<std::string> settings = {"--set", "Output Gain=-6", "--fft", "1024"};

    const CommandResult batch = runCommand({"process", folder.file("a.wav"), folder.file("broken.wav"),
                                            folder.file(second), "--out-dir", folder.file("out"), "--delta",
                                            folder.file("removed")},
                                           settings);
    EXPECT_EQ(batch.status, 1);
    EXPECT_EQ(std::count(batch.err.begin(), batch.err.end(), '\n'), 1) << batch.err;
    EXPECT_NE(batch.err.find("broken.wav"), std::string::npos) << batch.err;
    EXPECT_NE(batch.out.find("2 of 3 files processed, 1 failed"), std::string::npos) << batch.out;
    const std::vector<std::string> written = {"a.wav", second};
    EXPECT_EQ(filetest::ScratchFolder::entriesOf(folder.file("out")), written);
    EXPECT_EQ(filetest::ScratchFolder::entriesOf(folder.file("removed")), written);

    for (const std::string& name : written) {
        ASSERT_EQ(runCommand({"process", folder.file(name), folder.file("alone-" + name)}, settings).status, 0);
        const AudioData expected = readBack(folder.file("alone-" + name));
        const AudioData output = readBack(folder.file("out/" + name));
        EXPECT_EQ(output.format.type, expected.format.type) << name;
        EXPECT_EQ(output.channels, expected.channels) << name;
    }
}

#if !defined(_WIN32)
// Peak resident memory of the built vexlan-host running `args`, in KiB.
long peakKilobytes(const std::vector<std::string>& args) {
    const std::string program =
        (filetest::fs::path(host::defaultPluginPath()).parent_path() / "vexlan-host").string();
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return -1;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

void writeNoiseFile(const std::string& path, double seconds) {
    const host::AudioFormat format = {host::FileType::Wav, SampleEncoding::Pcm, 16, 1, 48000};
    host::AudioWriter writer;
    std::string error;
    const size_t frames = size_t(seconds * format.sampleRate);
    ASSERT_TRUE(host::openAudioWriter(path, format, frames, writer, error)) << error;
    std::vector<float> block(48000);
    uint32_t state = 1;
    for (size_t done = 0; done < frames; done += block.size()) {
        for (float& sample : block) {
            state = state * 1664525u + 1013904223u;
            sample = float(int32_t(state) >> 8) / 33554432.0f;
        }
        ASSERT_TRUE(host::writeAudioFrames(writer, block.data(), block.size(), error)) << error;
    }
    ASSERT_TRUE(host::finishAudioWriter(writer, error)) << error;
}

// Held in memory, ten minutes of mono float would take 100 MiB more than one.
TEST(ProcessCommand, MemoryStaysFlatFromOneMinuteToTen) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's quarantine makes resident memory no measure of the program's own";
#endif
    filetest::ScratchFolder folder;
    writeNoiseFile(folder.file("one.wav"), 60.0);
    writeNoiseFile(folder.file("ten.wav"), 600.0);
    const auto run = [&folder](const std::string& name) {
        return peakKilobytes({"process", folder.file(name), folder.file("out-" + name), "--delta",
                              folder.file("delta-" + name), "--noise-from", "1:2", "--noise-from", "50:51"});
    };
    const long one = run("one.wav");
    const long ten = run("ten.wav");
    ASSERT_GT(one, 0);
    ASSERT_GT(ten, 0);
    EXPECT_LT(ten, one + 4096) << "one minute: " << one << " KiB, ten minutes: " << ten << " KiB";
}
#endif

#if defined(_WIN32)
// The Windows build's own WAV reader names more of what it finds wrong.
#define BY_BUILD(windows, native) windows
#else
#define BY_BUILD(windows, native) native
#endif

// Every bad input: exit status 1, one line on stderr naming the problem,
// and no output file.
TEST(ProcessCommand, BadInputIsRefusedWithOneLineAndNoOutputFile) {
    filetest::ScratchFolder folder;
    writeAudio(folder.file("good.wav"), testSignal(2, 3000));
    writeAudio(folder.file("48k.wav"), testSignal(2, 3000, 48000));
    const std::vector<uint8_t> good = filetest::readBytes(folder.file("good.wav"));
    filetest::writeBytes(folder.file("text.wav"), std::vector<uint8_t>(300, 'x'));
    std::vector<uint8_t> unknownTag = good;  // a format tag nobody knows
    unknownTag[20] = 0x34;
    unknownTag[21] = 0x12;
    filetest::writeBytes(folder.file("tag.wav"), unknownTag);
    std::vector<uint8_t> wide = good;
    wide[22] = 129;
    wide[32] = uint8_t(129 * 4);
    wide[33] = uint8_t((129 * 4) >> 8);
    filetest::writeBytes(folder.file("129ch.wav"), wide);
    host::StateFile foreign;
    foreign.uniqueId = 0x12345678;
    foreign.chunk = host::serialiseStateChunk(pluginStateAfter({}));
    std::string error;
    ASSERT_TRUE(host::writeStateFile(folder.file("foreign.vxs"), foreign, error)) << error;
    const std::vector<std::string> inputs = folder.entries();

    const std::string in = folder.file("good.wav");
    const std::string out = folder.file("out.wav");
    const std::string missing = folder.file("missing/");
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{folder.file("absent.wav"), out}, "cannot open"},
        {{folder.file("text.wav"), out}, BY_BUILD("not a WAV file", "not an audio file")},
        {{folder.file("tag.wav"), out}, BY_BUILD("unsupported format: WAV format tag 4660", "not an audio file")},
        {{folder.file("129ch.wav"), out}, "129 channels (at most 128)"},
        {{in, out, "--set", "Wetness=3"}, "unknown parameter \"Wetness\" (known: Show analysis, "},
        {{in, out, "--state", folder.file("good.wav")}, "not a Vexlan state file"},
        {{in, out, "--state", folder.file("foreign.vxs")}, "belongs to another plug-in"},
        {{in, out, "--learn-noise", folder.file("absent.wav")}, "cannot open"},
        {{in, out, "--learn-noise", folder.file("48k.wav")}, "runs at 48000 Hz, the audio at 44100 Hz"},
        {{in, out, "--noise-from", "5:6"}, "the noise section from 5 s lies outside"},
        {{in, out, "--noise-from", "0:0.001"}, "shorter than half the FFT size"},
        {{in, out, "--mode", "eq", "--noise-from", "0:0.05"}, "subtract mode only"},
        {{in, out, "--plugin", folder.file("good.wav")}, "good.wav"},
        {{in, out, "--format", "mp3"}, "unknown --format \"mp3\""},
        {{in, folder.file("out.flac"), "--float"}, BY_BUILD("WAV files only", "FLAC files hold integer samples only")},
        {{in, in}, "will not overwrite the input"},
        {{in, missing + "out.wav"}, "cannot create"},
        // The output is already under way when the delta cannot be made.
        {{in, out, "--delta", missing + "delta.wav"}, "cannot create"},
        {{in, out, "--save-state", missing + "s.vxs"}, "cannot create"},
        // A state is a result too: no state file when the audio fails.
        {{in, missing + "out.wav", "--save-state", folder.file("s.vxs")}, "cannot create"},
        {{in, "--out-dir", missing}, "no such folder"},
        {{in, in, "--out-dir", folder.file("")}, "would both be written to"},
    };
    for (const auto& bad : cases) {
        const CommandResult result = runCommand({"process"}, bad.args);
        EXPECT_EQ(result.status, 1) << bad.reason;
        EXPECT_EQ(result.err.rfind("vexlan-host: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(bad.reason), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_EQ(folder.entries(), inputs) << bad.reason;
    }
}

}  // namespace
