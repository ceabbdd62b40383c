// Registry names: compared without regard to ASCII letter case, kept with their case, and
// sorted by their lower-cased form, the order in which Wine's registry enumerates keys and
// values.
#pragma once

#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>

#include <functional>
#include <string>
#include <utility>

namespace ovlayer {

inline std::string FoldName(const std::string& name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

// A sorted map from names to T that also finds the n-th entry in O(log n), so that walking a key
// with 100,000 sub-keys by index (RegEnumKeyA) stays n log n.
template <typename T> class NameIndex {
public:
    T* Find(const std::string& name) {
        auto it = entries_.find(FoldName(name));
        return it == entries_.end() ? nullptr : &it->second;
    }
    const T* Find(const std::string& name) const {
        auto it = entries_.find(FoldName(name));
        return it == entries_.end() ? nullptr : &it->second;
    }
    // Adds `value` under `name`, replacing an entry of the same folded name.
    T& Put(const std::string& name, T value) {
        const std::string key = FoldName(name);
        auto it = entries_.find(key);
        if (it != entries_.end()) {
            it->second = std::move(value);
            return it->second;
        }
        return entries_.insert(std::make_pair(key, std::move(value))).first->second;
    }
    bool Erase(const std::string& name) { return entries_.erase(FoldName(name)) > 0; }
    size_t Size() const { return entries_.size(); }
    T* At(size_t index) {
        auto it = entries_.find_by_order(index);
        return it == entries_.end() ? nullptr : &it->second;
    }
    const T* At(size_t index) const {
        auto it = entries_.find_by_order(index);
        return it == entries_.end() ? nullptr : &it->second;
    }
    // The folded name of the n-th entry, for merging two indexes in order.
    const std::string* KeyAt(size_t index) const {
        auto it = entries_.find_by_order(index);
        return it == entries_.end() ? nullptr : &it->first;
    }
    template <typename F> void ForEach(F visit) const {
        for (const auto& entry : entries_) {
            visit(entry.second);
        }
    }
    void Clear() { entries_.clear(); }

private:
    __gnu_pbds::tree<std::string, T, std::less<std::string>, __gnu_pbds::rb_tree_tag,
                     __gnu_pbds::tree_order_statistics_node_update>
        entries_;
};

} // namespace ovlayer
