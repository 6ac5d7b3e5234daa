#include "shell/host_api.h"

#include <cstring>

namespace vexlan {

const HostFunctionName kHostFunctionNames[kHostFunctionCount] = {
    {"SetWindowAccessibilityString", false},
    {"DB2SLIDER", true},
    {"SLIDER2DB", true},
    {"mkvolstr", true},
    {"GetTooltipWindow", false},
    {"RemoveToolWindowFlagIfConfigured", false},
    {"VIZE_CreateBitmap", true},
    {"VIZE_GetPixel", true},
    {"VIZE_PutPixel", true},
    {"VIZE_LineInt", true},
    {"VIZE_Line", true},
    {"VIZE_ThickFLine", true},
    {"VIZE_Circle", true},
    {"VIZE_FillCircle", true},
    {"VIZE_FillRect", true},
    {"VIZE_DrawRect", true},
    {"VIZE_BorderedRect", true},
    {"VIZE_Clear", true},
    {"VIZE_Blit", true},
    {"VIZE_RotatedBlit", true},
    {"VIZE_DrawGlyph", true},
    {"VIZE_CreateFont", true},
    {"VIZE_FillTriangle", true},
    {"VIZE_Arc", true},
    {"VIZE_FillTrapezoid", true},
    {"VIZE_FillConvexPolygon", true},
    {"VIZE_Copy", true},
    {"VIZE_ScaledBlit", true},
    {"VIZE_MeasureText", false},
    {"VIZE_DrawText", false},
    {"GetWindowDPIScaling", false},
    {"get_config_var", false},
    {"vac_createGroupsFromTab", false},
    {"__localizeFunc", false},
    {"__localizeMenu", false},
    {"__localizeInitializeDialog", false},
    {"__localizePrepareDialog", false},
};

static_assert(sizeof(HostApi) == kHostFunctionCount * sizeof(void*),
              "HostApi holds one pointer per looked-up name, in lookup order");

void setHostApiEntry(HostApi& api, int index, void* address) {
    // Function pointers and data pointers have one size on every target we build.
    std::memcpy(reinterpret_cast<char*>(&api) + index * sizeof(void*), &address, sizeof(void*));
}

HostLookup fetchHostApi(HostCallback callback, HostApi& api) {
    int required = 0;
    int answered = 0;
    for (int i = 0; i < kHostFunctionCount; ++i) {
        const intptr_t address = callback(nullptr, kHostLookupOpcode, kHostLookupIndex, 0,
                                          const_cast<char*>(kHostFunctionNames[i].name), 0.0f);
        setHostApiEntry(api, i, reinterpret_cast<void*>(address));
        if (!kHostFunctionNames[i].required) continue;
        ++required;
        if (address) ++answered;
    }
    if (answered == required) return HostLookup::Complete;
    return answered == 0 ? HostLookup::Foreign : HostLookup::Incomplete;
}

}  // namespace vexlan
