#pragma once
// Doubly-linked list with a cursor cache: every access by index walks from the
// element reached last, so a loop over 0, 1, 2 ... costs one step per element.
// Used for the document-level collections (molecules, frames, monitors,
// histories); per-atom data lives in contiguous arrays.
#include <cstdlib>
#include <new>
#include <utility>

#include "core/VelmError.h"

namespace velm {

template <class T>
class list {
    struct Node {
        Node* next = nullptr;
        Node* prev = nullptr;
        T value;
        explicit Node(const T& v) : value(v) {}
        explicit Node(T&& v) : value(std::move(v)) {}
    };

public:
    list() = default;
    list(const list& other) { for (const T& v : other) Append(v); }
    list& operator=(const list& other) {
        if (this != &other) {
            list copy(other);
            swap(copy);
        }
        return *this;
    }
    list(list&& other) noexcept { swap(other); }
    list& operator=(list&& other) noexcept {
        if (this != &other) {
            Clear();
            swap(other);
        }
        return *this;
    }
    ~list() { Clear(); }

    void swap(list& o) noexcept {
        std::swap(first_, o.first_);
        std::swap(last_, o.last_);
        std::swap(count_, o.count_);
        std::swap(cursorIndex_, o.cursorIndex_);
        std::swap(cursor_, o.cursor_);
        std::swap(walked_, o.walked_);
    }

    int Count() const noexcept { return count_; }
    bool Empty() const noexcept { return count_ == 0; }

    // Element at index i (0 <= i < Count()); leaves the cursor on it.
    T& operator[](int i) { return nodeAt(i)->value; }
    const T& operator[](int i) const { return nodeAt(i)->value; }

    // Nodes walked by the last access through the cursor (for tests of the cache).
    int LastWalk() const noexcept { return walked_; }

    // Insert before the element at i; i == Count() appends, 0 prepends.
    T& Insert(int i, T value) {
        if (i < 0 || i > count_) throw VelmError("Index out of range");
        Node* n = new (std::nothrow) Node(std::move(value));
        if (!n) {
            if (count_ == 0)
                throw VelmError("Error! Can't allocate memory for first element of list");
            throw VelmError("Out of memory");
        }
        if (count_ == 0) {
            first_ = last_ = n;
        } else if (i == count_) {
            n->prev = last_;
            last_->next = n;
            last_ = n;
        } else {
            Node* at = nodeAt(i);
            n->next = at;
            n->prev = at->prev;
            if (at->prev) at->prev->next = n; else first_ = n;
            at->prev = n;
        }
        ++count_;
        cursor_ = n;
        cursorIndex_ = i;
        return n->value;
    }
    T& Append(T value) { return Insert(count_, std::move(value)); }

    void Remove(int i) {
        Node* n = nodeAt(i);
        if (n->prev) n->prev->next = n->next; else first_ = n->next;
        if (n->next) n->next->prev = n->prev; else last_ = n->prev;
        if (n->prev) {
            cursor_ = n->prev;
            cursorIndex_ = i - 1;
        } else {
            cursor_ = first_;
            cursorIndex_ = 0;
        }
        delete n;
        --count_;
        if (count_ == 0) cursor_ = nullptr;
    }

    void Clear() noexcept {
        while (last_) {
            Node* p = last_->prev;
            delete last_;
            last_ = p;
        }
        first_ = nullptr;
        count_ = 0;
        cursor_ = nullptr;
        cursorIndex_ = 0;
    }

    template <class V, class N>
    class Iter {
    public:
        explicit Iter(N* n) : n_(n) {}
        V& operator*() const { return n_->value; }
        V* operator->() const { return &n_->value; }
        Iter& operator++() { n_ = n_->next; return *this; }
        bool operator==(const Iter& o) const { return n_ == o.n_; }
        bool operator!=(const Iter& o) const { return n_ != o.n_; }
    private:
        N* n_;
    };
    using iterator = Iter<T, Node>;
    using const_iterator = Iter<const T, const Node>;
    iterator begin() { return iterator(first_); }
    iterator end() { return iterator(nullptr); }
    const_iterator begin() const { return const_iterator(first_); }
    const_iterator end() const { return const_iterator(nullptr); }

private:
    Node* nodeAt(int i) const {
        if (i < 0 || i >= count_) throw VelmError("Index out of range");
        Node* n = cursor_;
        int at = cursorIndex_;
        if (!n) { n = first_; at = 0; }
        const int walked = at < i ? i - at : at - i;
        if (at < i)
            for (int k = 0; k < walked; ++k) n = n->next;
        else
            for (int k = 0; k < walked; ++k) n = n->prev;
        cursor_ = n;
        cursorIndex_ = i;
        walked_ = walked;
        return n;
    }

    Node* first_ = nullptr;
    Node* last_ = nullptr;
    int count_ = 0;
    mutable int cursorIndex_ = 0;
    mutable Node* cursor_ = nullptr;
    mutable int walked_ = 0;
};

}  // namespace velm
