#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/avm1/Value.h"

namespace zd::avm1 {

class Heap;
class Tracer;
class Vm;

// Everything the collector manages. Cells are linked into the heap's list on allocation and
// freed by a sweep when no root reaches them.
class Cell {
  public:
    Cell() = default;
    Cell(const Cell&) = delete;
    Cell& operator=(const Cell&) = delete;
    virtual ~Cell() = default;

    // Reports every cell this one refers to.
    virtual void trace(Tracer&) {}
    // Approximate bytes held, for the collector's pacing.
    virtual std::size_t footprint() const { return sizeof(Cell); }

  private:
    friend class Heap;
    friend class Tracer;
    Cell* nextCell_ = nullptr;
    bool marked_ = false;
};

// An immutable string. Interned strings serve as property keys: equal text, same cell.
class String final : public Cell {
  public:
    explicit String(std::string text) : text_(std::move(text)) {}

    const std::string& text() const { return text_; }
    std::string_view view() const { return text_; }
    bool interned() const { return interned_; }
    // The interned lower-case form of an interned string (itself when already lower case).
    String* folded() const { return folded_; }
    void trace(Tracer& t) override;
    std::size_t footprint() const override { return sizeof(String) + text_.capacity(); }

  private:
    friend class Heap;
    friend class Vm;
    std::string text_;
    String* folded_ = nullptr;
    bool interned_ = false;
};

// Marks reachable cells without recursion, so long chains cannot exhaust the C++ stack.
class Tracer {
  public:
    void mark(Cell* c) {
        if (c != nullptr && !c->marked_) {
            c->marked_ = true;
            pending_.push_back(c);
        }
    }
    void mark(const Value& v) {
        if (v.isString()) {
            mark(reinterpret_cast<Cell*>(v.string()));
        } else if (v.isObject()) {
            markObject(v.object());
        }
    }
    void markObject(Object* o);
    void drain();

  private:
    std::vector<Cell*> pending_;
};

// Owns every cell. Collection is explicit: the interpreter calls collect() at safe points,
// with a root enumerator that reports everything live outside the heap.
class Heap {
  public:
    Heap() = default;
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;
    ~Heap();

    template <typename T, typename... Args>
    T* make(Args&&... args) {
        T* cell = new T(std::forward<Args>(args)...);
        link(cell);
        return cell;
    }

    String* string(std::string text) { return make<String>(std::move(text)); }
    // The one interned cell for this text.
    String* intern(std::string_view text);

    // Whether enough has been allocated since the last collection to make one worthwhile.
    bool wantsCollection() const { return allocatedSince_ >= threshold_; }
    template <typename Roots>
    void collect(Roots&& roots) {
        Tracer tracer;
        roots(tracer);
        tracer.drain();
        sweep();
    }

    std::size_t cellCount() const { return cells_; }
    std::size_t bytes() const { return bytes_; }
    std::uint64_t collections() const { return collections_; }

  private:
    void link(Cell* cell);
    void sweep();

    Cell* first_ = nullptr;
    std::size_t cells_ = 0;
    std::size_t bytes_ = 0;
    std::size_t allocatedSince_ = 0;
    std::size_t threshold_ = 1 << 16;
    std::uint64_t collections_ = 0;
    std::unordered_map<std::string_view, String*> interned_;
};

}  // namespace zd::avm1
