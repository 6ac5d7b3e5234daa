// A recording played through the plug-in as a DAW plays it while the editor
// is open: on an audio thread of its own, block by block at the file's real
// rate, looping, so the spectra move and edits are heard in what comes out.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "audio_file.h"
#include "shell/vst2_abi.h"

namespace host {

struct Playback {
    vexlan::AEffect* effect = nullptr;
    AudioReader reader;
    AudioWriter recorder;  // open only with a recording path
    bool recording = false;
    std::atomic<bool> stopRequested{false};
    std::thread thread;
    std::string error;  // the audio thread's, read after it stopped
};

// Resumes the plug-in at the file's rate and channel count and starts the
// audio thread; with `recordPath` what comes out is kept in that file.
bool startPlayback(vexlan::AEffect* effect, const std::string& audioPath, const std::string& recordPath,
                   Playback& playback, std::string& error);
// Stops the thread, suspends the plug-in and completes the recording.
bool stopPlayback(Playback& playback, std::string& error);

}  // namespace host
