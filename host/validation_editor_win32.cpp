// The editor checks: a parent window as a DAW gives one, the editor opened
// into it and closed in the ways hosts do. Opening and closing an editor
// must leave every parameter as it was (a saved state may differ: a plug-in
// may remember its editor's size there).
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "validation.h"

namespace host {

namespace {

using namespace vexlan;

constexpr const char* kParentClass = "VexlanValidateParent";

HWND makeParent() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kParentClass;
        return RegisterClassA(&windowClass) != 0;
    }();
    if (!registered) return nullptr;
    return CreateWindowA(kParentClass, "validate", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 600, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// Runs the message loop for `milliseconds`, with the idle calls a DAW makes.
void pump(const RunningInstance& instance, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        instance.dispatch(effEditIdle);
        Sleep(10);
    }
}

// A host window with nothing left of a closed editor in it.
bool emptied(HWND parent) { return GetWindow(parent, GW_CHILD) == nullptr; }

// What the checks share: an instance with an editor and a window to put it in.
struct EditorStage {
    explicit EditorStage(const ValidationTarget& target) : instance(target.path) {
        if (!instance.ok()) {
            verdict = checkFailed("cannot create an instance: " + instance.error);
        } else if (!(instance.effect->flags & effFlagsHasEditor)) {
            verdict = checkSkipped("the plug-in has no editor");
        } else if (!(parent = makeParent())) {
            verdict = checkSkipped("no window can be created (no display)");
        } else {
            ready = true;
            saved = parameterValues();
        }
    }
    ~EditorStage() {
        instance.close();
        if (parent) DestroyWindow(parent);
    }
    intptr_t open() { return instance.dispatch(effEditOpen, 0, 0, parent); }
    std::vector<float> parameterValues() const {
        std::vector<float> values;
        AEffect* effect = instance.effect;
        for (int32_t index = 0; index < effect->numParams; ++index) values.push_back(effect->getParameter(effect, index));
        return values;
    }
    // Fails the check when a parameter moved since the start.
    CheckResult finish(const std::string& detail) {
        if (parameterValues() != saved) return checkFailed("a parameter changed: " + detail);
        return checkPassed(detail);
    }

    RunningInstance instance;
    HWND parent = nullptr;
    bool ready = false;
    CheckResult verdict{CheckStatus::Skip, ""};
    std::vector<float> saved;
};

std::string opened(intptr_t answer) { return answer ? "opened" : "not opened"; }

CheckResult openedTwice(const ValidationTarget& target) {
    EditorStage stage(target);
    if (!stage.ready) return stage.verdict;
    const intptr_t first = stage.open();
    pump(stage.instance, 200);
    const intptr_t second = stage.open();
    pump(stage.instance, 200);
    stage.instance.dispatch(effEditClose);
    pump(stage.instance, 100);
    if (!emptied(stage.parent)) return checkFailed("a window is left in the host's window after effEditClose");
    return stage.finish("first " + opened(first) + ", second " + opened(second) + ", closed cleanly");
}

CheckResult openedWhileProcessing(const ValidationTarget& target) {
    EditorStage stage(target);
    if (!stage.ready) return stage.verdict;
    AEffect* effect = stage.instance.effect;
    stage.instance.resume();
    std::atomic<bool> stop{false};
    std::atomic<bool> finite{true};
    std::atomic<long> blocks{0};
    std::thread audio([&] {
        AudioBlock block(effect->numInputs, effect->numOutputs, kAnnouncedBlockSize);
        uint32_t seed = 10;
        while (!stop) {
            block.fillNoise(seed, 0.5f);
            if (!processFinite(effect, block, kAnnouncedBlockSize)) finite = false;
            ++blocks;
        }
    });
    const intptr_t answer = stage.open();
    pump(stage.instance, 500);
    stage.instance.dispatch(effEditClose);
    pump(stage.instance, 100);
    stop = true;
    audio.join();
    if (!finite) return checkFailed("output not finite");
    if (!emptied(stage.parent)) return checkFailed("a window is left in the host's window after effEditClose");
    return stage.finish(opened(answer) + " and closed during " + std::to_string(blocks.load()) + " processed blocks");
}

CheckResult closedWithEditorOpen(const ValidationTarget& target) {
    EditorStage stage(target);
    if (!stage.ready) return stage.verdict;
    const intptr_t answer = stage.open();
    pump(stage.instance, 200);
    stage.instance.close();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (!emptied(stage.parent)) return checkFailed("the editor outlived effClose");
    return checkPassed(opened(answer) + ", then effClose: no window left behind");
}

}  // namespace

std::vector<ValidationCheck> editorChecks() {
    return {
        {"editor opened twice", openedTwice, false},
        {"editor opened while processing", openedWhileProcessing, false},
        {"effClose with the editor open", closedWithEditorOpen, false},
    };
}

}  // namespace host
