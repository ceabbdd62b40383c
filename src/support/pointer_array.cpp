#include "support/pointer_array.h"

namespace {

const int kMinimumStep = 4;
const int kMaximumStep = 1024;

void SetNull(void** slots, int from, int to) {
    for (int i = from; i < to; ++i) {
        slots[i] = nullptr;
    }
}

} // namespace

PointerArray::~PointerArray() {
    delete[] elements_;
}

void PointerArray::SetSize(int count, int step) {
    if (step != -1) {
        growStep_ = step;
    }
    if (count <= 0) {
        delete[] elements_;
        elements_ = nullptr;
        count_ = capacity_ = 0;
    } else if (elements_ == nullptr) {
        elements_ = new void*[count];
        SetNull(elements_, 0, count);
        count_ = capacity_ = count;
    } else if (count <= capacity_) {
        SetNull(elements_, count_, count);
        count_ = count;
    } else {
        Grow(count);
    }
}

// Appends do not allocate each time: the capacity grows by a step at least.
void PointerArray::Grow(int count) {
    int step = growStep_;
    if (step == 0) {
        step = count_ / 8;
        step = step < kMinimumStep ? kMinimumStep : step > kMaximumStep ? kMaximumStep : step;
    }
    const int capacity = capacity_ + step > count ? capacity_ + step : count;
    void** elements = new void*[capacity];
    for (int i = 0; i < count_; ++i) {
        elements[i] = elements_[i];
    }
    SetNull(elements, count_, count);
    delete[] elements_;
    elements_ = elements;
    count_ = count;
    capacity_ = capacity;
}

void PointerArray::SetAtGrow(int index, void* element) {
    if (index >= count_) {
        SetSize(index + 1, -1);
    }
    elements_[index] = element;
}
