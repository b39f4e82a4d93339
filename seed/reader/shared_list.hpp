// A list of values that copies share: a dictionary FIR or polynomial that
// a response refers to again and again is held once, however many stages
// name it. Read like a vector; changed only while it is built (a change
// to a shared list copies it first).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace seed {

template <typename T>
class SharedList {
public:
    using const_iterator = typename std::vector<T>::const_iterator;

    std::size_t size() const { return items_ ? items_->size() : 0; }
    bool empty() const { return size() == 0; }
    const T &operator[](std::size_t i) const { return (*items_)[i]; }
    const T &front() const { return items_->front(); }
    const T &back() const { return items_->back(); }
    const_iterator begin() const { return items_ ? items_->cbegin() : none().cbegin(); }
    const_iterator end() const { return items_ ? items_->cend() : none().cend(); }

    void reserve(std::size_t n) { own().reserve(n); }
    void push_back(T value) { own().push_back(std::move(value)); }
    void append(const SharedList &more)
    {
        std::vector<T> &items = own();
        items.insert(items.end(), more.begin(), more.end());
    }

private:
    static const std::vector<T> &none()
    {
        static const std::vector<T> empty;
        return empty;
    }
    std::vector<T> &own()
    {
        if (!items_) items_ = std::make_shared<std::vector<T>>();
        else if (items_.use_count() > 1) items_ = std::make_shared<std::vector<T>>(*items_);
        return *items_;
    }
    std::shared_ptr<std::vector<T>> items_;
};

}  // namespace seed
