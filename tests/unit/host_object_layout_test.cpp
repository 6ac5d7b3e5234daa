// The host's bitmap and font objects come from a host built with MSVC: a
// table of function pointers with the deleting destructor in slot 0 and the
// methods after it in declaration order. These tests hand the interfaces such
// a hand-made table and check that every call lands in its own slot.
#include <gtest/gtest.h>

#include <cstdint>

#include "shell/host_api.h"

namespace {

struct HandMadeObject {
    const void* const* table;
    int lastSlot = -1;
    unsigned destroyFlags = 0;
};

template <int Slot>
intptr_t recordSlot(HandMadeObject* self) {
    self->lastSlot = Slot;
    return Slot;
}

void recordDestroy(HandMadeObject* self, unsigned flags) {
    self->lastSlot = 0;
    self->destroyFlags = flags;
}

template <int... Slots>
struct SlotTable {
    inline static const void* const entries[] = {reinterpret_cast<const void*>(&recordDestroy),
                                              reinterpret_cast<const void*>(&recordSlot<Slots>)...};
};

template <typename Interface>
Interface* asInterface(HandMadeObject& object) {
    return reinterpret_cast<Interface*>(&object);
}

TEST(HostObjectLayout, BitmapMethodsUseMsvcSlots) {
    HandMadeObject object{SlotTable<1, 2, 3, 4, 5, 6, 7>::entries};
    vexlan::VizeBitmap* bitmap = asInterface<vexlan::VizeBitmap>(object);
    const struct {
        const char* method;
        void (*call)(vexlan::VizeBitmap*);
        int slot;
    } cases[] = {
        {"getDC", [](vexlan::VizeBitmap* b) { b->getDC(); }, 1},
        {"getWidth", [](vexlan::VizeBitmap* b) { b->getWidth(); }, 2},
        {"getHeight", [](vexlan::VizeBitmap* b) { b->getHeight(); }, 3},
        {"resize", [](vexlan::VizeBitmap* b) { b->resize(4, 5); }, 4},
        {"getBits", [](vexlan::VizeBitmap* b) { b->getBits(); }, 5},
        {"getRowSpan", [](vexlan::VizeBitmap* b) { b->getRowSpan(); }, 6},
        {"extended", [](vexlan::VizeBitmap* b) { b->extended(vexlan::kBitmapTextScale, nullptr); }, 7},
    };
    for (const auto& c : cases) {
        object.lastSlot = -1;
        c.call(bitmap);
        EXPECT_EQ(object.lastSlot, c.slot) << c.method;
    }
    bitmap->destroy(vexlan::kDestroyFreesMemory);
    EXPECT_EQ(object.lastSlot, 0);
    EXPECT_EQ(object.destroyFlags, vexlan::kDestroyFreesMemory);
}

TEST(HostObjectLayout, FontMethodsUseMsvcSlots) {
    HandMadeObject object{SlotTable<1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11>::entries};
    vexlan::VizeFont* font = asInterface<vexlan::VizeFont>(object);
    vexlan::VizeRect rect{0, 0, 10, 10};
    const struct {
        const char* method;
        void (*call)(vexlan::VizeFont*, vexlan::VizeRect*);
        int slot;
    } cases[] = {
        {"attachSystemFont", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->attachSystemFont(nullptr, 0x200); }, 1},
        {"setTextColor", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->setTextColor(0xFFFFFF); }, 2},
        {"setAttributeA", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->setAttributeA(1); }, 3},
        {"setAttributeB", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->setAttributeB(1); }, 4},
        {"setAttributeC", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->setAttributeC(1); }, 5},
        {"setBlend", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->setBlend(0, 1.0f); }, 6},
        {"drawText", [](vexlan::VizeFont* f, vexlan::VizeRect* r) { f->drawText(nullptr, "a", 1, r, 0); }, 7},
        {"getTextColor", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->getTextColor(); }, 8},
        {"getHandle", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->getHandle(); }, 9},
        {"getMetric", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->getMetric(); }, 10},
        {"setAttributeD", [](vexlan::VizeFont* f, vexlan::VizeRect*) { f->setAttributeD(1); }, 11},
    };
    for (const auto& c : cases) {
        object.lastSlot = -1;
        c.call(font, &rect);
        EXPECT_EQ(object.lastSlot, c.slot) << c.method;
    }
    font->destroy(vexlan::kDestroyFreesMemory);
    EXPECT_EQ(object.lastSlot, 0);
    EXPECT_EQ(object.destroyFlags, vexlan::kDestroyFreesMemory);
}

}  // namespace
