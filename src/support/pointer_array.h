// A growable array of untyped pointers. The array owns its slots, not what they point to.
#pragma once

class PointerArray {
public:
    PointerArray() = default;
    PointerArray(const PointerArray&) = delete;
    PointerArray& operator=(const PointerArray&) = delete;
    ~PointerArray();

    // New slots read as null. step: the growth step from now on (0 = an eighth of the count,
    // between 4 and 1024), or -1 to keep the current one.
    void SetSize(int count, int step = -1);
    // Grows the array (filling any gap with null) when index is at or beyond the count.
    void SetAtGrow(int index, void* element);

    int GetCount() const { return count_; }
    int GetCapacity() const { return capacity_; }
    void* GetAt(int index) const { return elements_[index]; }
    void* operator[](int index) const { return elements_[index]; }

private:
    void Grow(int count);

    void** elements_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
    int growStep_ = 0;
};
