// The host's bitmap and font objects come from a host built with MSVC: a
// table of function pointers with the deleting destructor in slot 0 and the
// methods after it in declaration order. These tests hand the interfaces such
// a hand-made table and check that every call lands in its own slot.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "shell/host_api.h"

namespace {

using vexlan::VizeBitmap;
using vexlan::VizeFont;

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

// The destructor and eleven methods, enough for either interface.
template <int... Slots>
struct SlotTable {
    inline static const void* const entries[] = {reinterpret_cast<const void*>(&recordDestroy),
                                              reinterpret_cast<const void*>(&recordSlot<Slots>)...};
};
using Table = SlotTable<1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11>;

// Makes each call, given in slot order from slot 1, through `Interface` laid
// over a hand-made object, then destroys the object through slot 0.
template <typename Interface>
void expectSlotOrder(std::initializer_list<std::pair<const char*, void (*)(Interface*)>> calls) {
    HandMadeObject object{Table::entries};
    Interface* face = reinterpret_cast<Interface*>(&object);
    int slot = 0;
    for (const auto& [method, call] : calls) {
        object.lastSlot = -1;
        call(face);
        EXPECT_EQ(object.lastSlot, ++slot) << method;
    }
    face->destroy(vexlan::kDestroyFreesMemory);
    EXPECT_EQ(object.lastSlot, 0);
    EXPECT_EQ(object.destroyFlags, vexlan::kDestroyFreesMemory);
}

TEST(HostObjectLayout, BitmapMethodsUseMsvcSlots) {
    expectSlotOrder<VizeBitmap>({
        {"getDC", [](VizeBitmap* b) { b->getDC(); }},
        {"getWidth", [](VizeBitmap* b) { b->getWidth(); }},
        {"getHeight", [](VizeBitmap* b) { b->getHeight(); }},
        {"resize", [](VizeBitmap* b) { b->resize(4, 5); }},
        {"getBits", [](VizeBitmap* b) { b->getBits(); }},
        {"getRowSpan", [](VizeBitmap* b) { b->getRowSpan(); }},
        {"extended", [](VizeBitmap* b) { b->extended(vexlan::kBitmapTextScale, nullptr); }},
    });
}

TEST(HostObjectLayout, FontMethodsUseMsvcSlots) {
    expectSlotOrder<VizeFont>({
        {"attachSystemFont", [](VizeFont* f) { f->attachSystemFont(nullptr, 0x200); }},
        {"setTextColor", [](VizeFont* f) { f->setTextColor(0xFFFFFF); }},
        {"setAttributeA", [](VizeFont* f) { f->setAttributeA(1); }},
        {"setAttributeB", [](VizeFont* f) { f->setAttributeB(1); }},
        {"setAttributeC", [](VizeFont* f) { f->setAttributeC(1); }},
        {"setBlend", [](VizeFont* f) { f->setBlend(0, 1.0f); }},
        {"drawText", [](VizeFont* f) { f->drawText(nullptr, "a", 1, nullptr, 0); }},
        {"getTextColor", [](VizeFont* f) { f->getTextColor(); }},
        {"getHandle", [](VizeFont* f) { f->getHandle(); }},
        {"getMetric", [](VizeFont* f) { f->getMetric(); }},
        {"setAttributeD", [](VizeFont* f) { f->setAttributeD(1); }},
    });
}

}  // namespace
