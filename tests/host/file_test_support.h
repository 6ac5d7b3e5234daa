// Files for the command-line tests: a scratch folder per test, the checked-in
// WAV files made by sox, and sox itself where the machine has it; and the
// commands run in this process with their output caught.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

#include "audio_file.h"
#include "cli_options.h"
#include "process_command.h"
#include "render_command.h"

namespace filetest {

namespace fs = std::filesystem;

// Folder of the sox-made WAV files, beside this header.
inline std::string dataFolder() { return (fs::path(__FILE__).parent_path() / "data").string(); }

inline bool haveSox() {
#if defined(_WIN32)
    return std::system("sox --version >NUL 2>&1") == 0;
#else
    return std::system("sox --version >/dev/null 2>&1") == 0;
#endif
}

inline int processId() {
#if defined(_WIN32)
    return _getpid();
#else
    return getpid();
#endif
}

// A fresh empty folder named after the running test and process (two test
// runs on one machine must not share it), removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() /
                ("vexlan-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                 std::to_string(processId()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Names of everything in the folder, sorted, for checking that nothing was left.
    std::vector<std::string> entries() const { return entriesOf(path_.string()); }
    static std::vector<std::string> entriesOf(const std::string& folder) {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF) bytes.push_back(uint8_t(c));
    std::fclose(file);
    return bytes;
}

inline host::AudioData readBack(const std::string& path) {
    host::AudioData audio;
    std::string error;
    EXPECT_TRUE(host::readAudioFile(path, audio, error)) << error;
    return audio;
}

inline void writeAudio(const std::string& path, const host::AudioData& audio) {
    std::string error;
    ASSERT_TRUE(host::writeAudioFile(path, audio, error)) << error;
}

struct CommandResult {
    int status;
    std::string out;
    std::string err;
};

// `args` and then `more` as the command line after the program name, for the
// commands that write files: process, save-state and render.
inline CommandResult runCommand(std::vector<std::string> args, const std::vector<std::string>& more = {}) {
    args.insert(args.end(), more.begin(), more.end());
    host::CommandLine line;
    std::string error;
    EXPECT_TRUE(host::parseCommandLine(args, line, error)) << error;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = -1;
    if (line.command == host::Command::Process) status = host::runProcessCommand(line);
    if (line.command == host::Command::SaveState) status = host::runSaveStateCommand(line);
    if (line.command == host::Command::Render) status = host::runRenderCommand(line);
    return {status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

}  // namespace filetest
