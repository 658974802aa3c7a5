#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zd::avm1 {
class Object;
class Vm;
}  // namespace zd::avm1

namespace zd::script {

// The right-click menu as a movie wants it where it was opened: which of the player's own
// entries stay, and the movie's entries, shown before them.
struct MovieMenu {
    struct Item {
        std::string caption;
        bool enabled = true;
        bool separatorBefore = false;
    };
    bool zoom = true;
    bool quality = true;
    bool play = true;
    bool loop = true;
    bool rewind = true;
    bool forwardBack = true;
    std::vector<Item> items;
};

// Reads a movie's ContextMenu objects when the menu opens and runs their handlers. What it
// read stays reachable until the next opening, so a choice made while the movie moves on
// still reaches the item that was shown.
class MovieMenus {
  public:
    // A menu holds no more of a movie's entries than this.
    static constexpr std::size_t kMaxItems = 15;

    explicit MovieMenus(avm1::Vm& vm) : vm_(vm) {}
    ~MovieMenus();
    MovieMenus(const MovieMenus&) = delete;
    MovieMenus& operator=(const MovieMenus&) = delete;

    // Opens the menu of an object (its `menu` property; nullptr: the player's own menu):
    // the menu's onSelect runs first and may change it.
    void open(avm1::Object* owner);
    // The movie's entry at this place in the last menu opened was chosen: its onSelect runs.
    void choose(std::size_t index);
    const MovieMenu& current() const { return menu_; }

  private:
    void release();
    void keep(avm1::Object* o);

    avm1::Vm& vm_;
    MovieMenu menu_;
    avm1::Object* owner_ = nullptr;
    std::vector<avm1::Object*> items_;  // the entries' objects, as shown
    std::vector<avm1::Object*> kept_;
};

}  // namespace zd::script
