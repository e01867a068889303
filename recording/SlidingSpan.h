#pragma once
// A queue of trivially copyable values in one reserved block: pushed at the
// back, dropped at the front, searched as a sorted array. Dropped values
// are moved out in one copy once they are many, so memory comes from one
// allocation made up front and filled page by page, instead of a chain of
// small blocks that leave holes in the heap as they come and go.

#include <cstddef>
#include <type_traits>
#include <vector>

template <typename T>
class SlidingSpan {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    using const_iterator = typename std::vector<T>::const_iterator;

    // Room for `expected` values and the dropped ones waiting to be moved
    // out; reserved, not touched, until values fill it.
    explicit SlidingSpan(std::size_t expected, std::size_t dropsBeforeMove)
        : dropsBeforeMove_(dropsBeforeMove)
    {
        values_.reserve(expected + dropsBeforeMove);
    }

    void push_back(const T& value) { values_.push_back(value); }
    void pop_front()
    {
        if (++dropped_ < dropsBeforeMove_)
            return;
        values_.erase(values_.begin(), values_.begin() + static_cast<std::ptrdiff_t>(dropped_));
        dropped_ = 0;
    }

    const T& front() const { return values_[dropped_]; }
    const T& back() const { return values_.back(); }
    bool empty() const { return values_.size() == dropped_; }
    std::size_t size() const { return values_.size() - dropped_; }
    // For changing every value in place, as a rebase of times does.
    template <typename Change>
    void changeEach(Change change)
    {
        for (auto value = values_.begin() + static_cast<std::ptrdiff_t>(dropped_); value != values_.end(); ++value)
            change(*value);
    }
    const_iterator begin() const { return values_.begin() + static_cast<std::ptrdiff_t>(dropped_); }
    const_iterator end() const { return values_.end(); }

private:
    std::vector<T> values_;
    std::size_t dropped_ = 0;
    std::size_t dropsBeforeMove_;
};
