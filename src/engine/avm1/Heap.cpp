#include "engine/avm1/Heap.h"

#include "engine/avm1/Object.h"

namespace zd::avm1 {

void String::trace(Tracer& t) {
    if (folded_ != nullptr && folded_ != this) {
        t.mark(folded_);
    }
}

void Tracer::markObject(Object* o) {
    mark(static_cast<Cell*>(o));
}

void Tracer::drain() {
    while (!pending_.empty()) {
        Cell* c = pending_.back();
        pending_.pop_back();
        c->trace(*this);
    }
}

Heap::~Heap() {
    Cell* c = first_;
    while (c != nullptr) {
        Cell* next = c->nextCell_;
        delete c;
        c = next;
    }
}

void Heap::link(Cell* cell) {
    cell->nextCell_ = first_;
    first_ = cell;
    ++cells_;
    ++allocatedSince_;
    bytes_ += cell->footprint();
}

String* Heap::intern(std::string_view text) {
    auto it = interned_.find(text);
    if (it != interned_.end()) {
        return it->second;
    }
    String* s = string(std::string(text));
    s->interned_ = true;
    interned_.emplace(s->view(), s);
    return s;
}

void Heap::sweep() {
    Cell** link = &first_;
    std::size_t live = 0;
    std::size_t bytes = 0;
    while (*link != nullptr) {
        Cell* c = *link;
        if (c->marked_) {
            c->marked_ = false;
            ++live;
            bytes += c->footprint();
            link = &c->nextCell_;
            continue;
        }
        *link = c->nextCell_;
        if (auto* s = dynamic_cast<String*>(c); s != nullptr && s->interned_) {
            interned_.erase(s->view());
        }
        delete c;
    }
    cells_ = live;
    bytes_ = bytes;
    allocatedSince_ = 0;
    // Collect again after as many new cells as survived (at least 64K): the work stays
    // proportional to what is allocated.
    threshold_ = live > (1u << 16) ? live : (1u << 16);
    ++collections_;
}

}  // namespace zd::avm1
