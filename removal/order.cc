#include "removal/order.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <queue>
#include <set>
#include <string_view>
#include <type_traits>
#include <utility>

// How the completion is done without re-running passes.
//
// Entries with the same (root, path) key behave alike, so the work is done
// per distinct key. A key is in one of three states:
//   kLone        no other key of its root is a strict prefix of its path;
//   kIncomplete  it has such an ancestor, but its parent is not in the list;
//   kComplete    its parent is in the list (the parent is itself an ancestor).
// Keys are only ever added, so a key only moves forward through these. A
// pass of the step-by-step procedure appends the parent of the first
// kIncomplete entry in list order, and nothing else changes in between. So
// it is enough to keep the kIncomplete keys in a min-heap by first entry,
// and, on each append of a key P, to update exactly the keys whose state P
// changes:
//   - kIncomplete keys whose parent is P (a list of waiters per awaited key);
//   - kLone keys that P is a strict prefix of: a contiguous range of the
//     kLone keys kept sorted by (root, path).
// The initial states come from one sweep over the keys in sorted order. P's
// own state comes from the ancestor already known for the entry it is the
// parent of when that ancestor is shorter than P, and otherwise from looking
// up every prefix of P in a hash table of keys, with rolling prefix hashes.
// Every key changes state at most twice: the completion costs O(n log n)
// plus O(L) per key of length L.
//
// The ordering: each round of the step-by-step selection scans the unplaced
// part in position order and exchanges every entry of the greatest length M
// with the one at the next free position. That is one partition pass per
// distinct length, done here on a permutation over the positions of each
// length group only.

namespace uninstall {
namespace {

enum class State : std::uint8_t { kLone, kIncomplete, kComplete };

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Length of the parent of a path: GetDirectory of the path without its last
// character. The parent is always a prefix of the path, so its length is all
// that needs to be known.
std::size_t ParentLength(std::wstring_view path) {
  if (path.empty()) return 0;
  const std::size_t slash = path.substr(0, path.size() - 1).rfind(L'\\');
  return slash == std::wstring_view::npos ? 0 : slash + 1;
}

constexpr std::uint64_t kHashBase = 0x100000001B3ull;

std::uint64_t HashStart(std::int32_t root) {
  return 0xCBF29CE484222325ull ^ static_cast<std::uint32_t>(root);
}

std::uint64_t HashStep(std::uint64_t h, wchar_t c) {
  return h * kHashBase + static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<wchar_t>>(c)) +
         1;
}

// A key (root, path) named by the first len characters of an entry's path.
struct Slice {
  std::uint32_t item;
  std::uint32_t len;
  std::uint64_t hash;  // of the root and those characters
};

// One distinct key: present in the list, or only awaited as the parent of
// kIncomplete keys. All entries of one key share its state.
struct Key {
  std::uint32_t item;  // present: its first entry; awaited: an entry it is a prefix of
  std::uint32_t len;
  std::uint64_t hash;
  bool present = false;
  State state = State::kLone;
  std::uint32_t ancestor_len = 0;      // kIncomplete: the length of one ancestor
  std::uint32_t first_waiter = kNone;  // kIncomplete keys whose parent is this key
  std::uint32_t next_waiter = kNone;   // the next key waiting for the same parent
};

class Planner {
 public:
  explicit Planner(std::vector<PlanEntry>& items)
      : items_(items), lone_(KeyLess{this}), incomplete_(FirstEntryGreater{this}) {
    keys_.reserve(items.size() + 64);
    Rehash(std::bit_ceil(items.size() * 2 + 64));
  }

  void Complete() {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      Key& key = keys_[Find(WholeKey(static_cast<std::uint32_t>(i)))];
      key.present = true;
    }
    SweepInitialStates();

    for (;;) {
      while (!incomplete_.empty() && keys_[incomplete_.top()].state != State::kIncomplete) {
        incomplete_.pop();
      }
      if (incomplete_.empty()) return;
      AppendParentOf(incomplete_.top());
    }
  }

 private:
  // Present keys by (root, path); a (root, path) probe finds the first key
  // that is not below it.
  struct Probe {
    std::int32_t root;
    std::wstring_view path;
  };
  struct KeyLess {
    using is_transparent = void;
    const Planner* planner;
    bool operator()(std::uint32_t a, std::uint32_t b) const {
      return Less(planner->KeyText(a), planner->KeyText(b));
    }
    bool operator()(std::uint32_t a, const Probe& p) const { return Less(planner->KeyText(a), p); }
    bool operator()(const Probe& p, std::uint32_t b) const { return Less(p, planner->KeyText(b)); }
    static bool Less(const Probe& x, const Probe& y) {
      return x.root != y.root ? x.root < y.root : x.path < y.path;
    }
  };
  // Orders the heap of kIncomplete keys by their first entry, least on top.
  struct FirstEntryGreater {
    const Planner* planner;
    bool operator()(std::uint32_t a, std::uint32_t b) const {
      return planner->keys_[a].item > planner->keys_[b].item;
    }
  };

  [[nodiscard]] Probe KeyText(std::uint32_t id) const {
    const Key& key = keys_[id];
    const PlanEntry& item = items_[key.item];
    return {item.root, item.path.substr(0, key.len)};
  }

  [[nodiscard]] Slice WholeKey(std::uint32_t i) const {
    return PrefixKey(i, items_[i].path.size());
  }

  [[nodiscard]] Slice PrefixKey(std::uint32_t i, std::size_t len) const {
    const PlanEntry& item = items_[i];
    std::uint64_t h = HashStart(item.root);
    for (std::size_t k = 0; k < len; ++k) h = HashStep(h, item.path[k]);
    return {i, static_cast<std::uint32_t>(len), h};
  }

  // The hash table of keys: open addressing over ids, linear probing, at
  // most half full.
  static std::size_t Spread(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<std::size_t>(h);
  }

  [[nodiscard]] bool Names(const Key& key, const Slice& slice) const {
    if (key.hash != slice.hash || key.len != slice.len) return false;
    const PlanEntry& x = items_[key.item];
    const PlanEntry& y = items_[slice.item];
    return x.root == y.root && x.path.substr(0, key.len) == y.path.substr(0, slice.len);
  }

  // The slot holding the key the slice names, or the empty slot where it
  // belongs.
  [[nodiscard]] std::size_t Slot(const Slice& slice) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t s = Spread(slice.hash) & mask;
    while (slots_[s] != kNone && !Names(keys_[slots_[s]], slice)) s = (s + 1) & mask;
    return s;
  }

  void Rehash(std::size_t capacity) {
    slots_.assign(capacity, kNone);
    const std::size_t mask = capacity - 1;
    for (std::uint32_t id = 0; id < keys_.size(); ++id) {
      std::size_t s = Spread(keys_[id].hash) & mask;
      while (slots_[s] != kNone) s = (s + 1) & mask;
      slots_[s] = id;
    }
  }

  // The id of a key, made (not present) if it is new.
  std::uint32_t Find(const Slice& slice) {
    const std::size_t s = Slot(slice);
    if (slots_[s] != kNone) return slots_[s];
    const auto id = static_cast<std::uint32_t>(keys_.size());
    keys_.push_back({slice.item, slice.len, slice.hash});
    if (keys_.size() * 2 > slots_.size()) {
      Rehash(slots_.size() * 2);
    } else {
      slots_[s] = id;
    }
    return id;
  }

  [[nodiscard]] bool Present(const Slice& slice) const {
    const std::uint32_t id = slots_[Slot(slice)];
    return id != kNone && keys_[id].present;
  }

  // The initial states, from one sweep over the keys sorted by (root, path):
  // every present prefix of a key sorts before it, and so does every key
  // between the two, which all start with that prefix. A stack of keys seen
  // so far that are prefixes of one another therefore holds, once the keys
  // that are no prefix of the current one are popped, exactly the present
  // strict prefixes of the current key, shortest at the bottom.
  void SweepInitialStates() {
    std::vector<std::uint32_t> sorted(keys_.size());
    for (std::size_t k = 0; k < sorted.size(); ++k) sorted[k] = static_cast<std::uint32_t>(k);
    std::sort(sorted.begin(), sorted.end(), KeyLess{this});

    std::vector<std::uint32_t> chain;
    Probe previous{0, {}};
    for (const std::uint32_t id : sorted) {
      const Probe text = KeyText(id);
      // The chain holds prefixes of the previous key: those no longer than
      // the common prefix of the previous key and this one are prefixes of
      // this one too, the others are not.
      std::size_t common = 0;
      if (text.root == previous.root) {
        const std::size_t limit = std::min(text.path.size(), previous.path.size());
        while (common < limit && text.path[common] == previous.path[common]) ++common;
      } else {
        chain.clear();
      }
      while (!chain.empty() && keys_[chain.back()].len > common) chain.pop_back();

      if (chain.empty()) {
        keys_[id].state = State::kLone;
        lone_.insert(lone_.end(), id);
      } else if (std::ranges::binary_search(chain, ParentLength(text.path), {},
                                            [&](std::uint32_t c) { return keys_[c].len; })) {
        keys_[id].state = State::kComplete;
      } else {
        ClassifyWithAncestor(id, keys_[chain.back()].len);
      }
      chain.push_back(id);
      previous = text;
    }
  }

  // The state of a key known to have an ancestor of the given length: only
  // its parent needs looking up. A parent not present is registered as
  // awaited, with this key among its waiters.
  void ClassifyWithAncestor(std::uint32_t id, std::size_t ancestor_len) {
    const std::uint32_t item = keys_[id].item;
    const std::uint32_t parent = Find(PrefixKey(item, ParentLength(items_[item].path)));
    Key& key = keys_[id];  // after Find, which may grow keys_
    if (keys_[parent].present) {
      key.state = State::kComplete;
      return;
    }
    key.state = State::kIncomplete;
    key.ancestor_len = static_cast<std::uint32_t>(ancestor_len);
    key.next_waiter = std::exchange(keys_[parent].first_waiter, id);
    incomplete_.push(id);
  }

  // The state of a key of which nothing is known: each strict prefix is
  // looked up, with its hash rolled on from the previous one.
  void ClassifyFromScratch(std::uint32_t id) {
    const PlanEntry& item = items_[keys_[id].item];
    std::uint64_t h = HashStart(item.root);
    for (std::size_t len = 0; len < item.path.size(); ++len) {
      if (Present({keys_[id].item, static_cast<std::uint32_t>(len), h})) {
        ClassifyWithAncestor(id, len);
        return;
      }
      h = HashStep(h, item.path[len]);
    }
    keys_[id].state = State::kLone;
    lone_.insert(id);
  }

  // Appends the parent P of the kIncomplete key j as a new entry.
  void AppendParentOf(std::uint32_t j) {
    const auto q = static_cast<std::uint32_t>(items_.size());
    {
      // The parent is a prefix of the path it is the parent of, so the new
      // entry views the same characters.
      const PlanEntry incomplete = items_[keys_[j].item];
      items_.push_back({incomplete.root, incomplete.path.substr(0, ParentLength(incomplete.path))});
    }
    const PlanEntry& added = items_[q];
    const std::uint32_t id = Find(WholeKey(q));
    Key& key = keys_[id];
    key.present = true;
    key.item = q;
    key.len = static_cast<std::uint32_t>(added.path.size());
    for (std::uint32_t w = std::exchange(key.first_waiter, kNone); w != kNone;
         w = keys_[w].next_waiter) {
      keys_[w].state = State::kComplete;
    }

    // Lone keys below P now have P as an ancestor. P was not in the list
    // before, so every key in the range is strictly longer.
    std::vector<std::uint32_t> reached;
    auto it = lone_.lower_bound(Probe{added.root, added.path});
    while (it != lone_.end()) {
      const Probe text = KeyText(*it);
      if (text.root != added.root || !text.path.starts_with(added.path)) break;
      reached.push_back(*it);
      it = lone_.erase(it);
    }
    for (const std::uint32_t r : reached) ClassifyWithAncestor(r, added.path.size());

    // The known ancestor of j is a prefix of j's path, as P is: when it is
    // the shorter of the two, it is an ancestor of P too.
    if (keys_[j].ancestor_len < added.path.size()) {
      ClassifyWithAncestor(id, keys_[j].ancestor_len);
    } else {
      ClassifyFromScratch(id);
    }
  }

  std::vector<PlanEntry>& items_;
  std::vector<Key> keys_;
  std::vector<std::uint32_t> slots_;  // key ids by hash, kNone where empty
  std::set<std::uint32_t, KeyLess> lone_;
  std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, FirstEntryGreater> incomplete_;
};

// Longest first, by one exchange pass per distinct length.
std::vector<PlanEntry> Order(const std::vector<PlanEntry>& items) {
  const std::size_t n = items.size();
  std::vector<std::uint32_t> by_length(n);
  for (std::size_t i = 0; i < n; ++i) by_length[i] = static_cast<std::uint32_t>(i);
  std::stable_sort(by_length.begin(), by_length.end(), [&](std::uint32_t a, std::uint32_t b) {
    return items[a].path.size() > items[b].path.size();
  });

  std::vector<std::uint32_t> at(n);   // entry at a position
  std::vector<std::uint32_t> pos(n);  // position of an entry
  for (std::size_t i = 0; i < n; ++i) {
    at[i] = static_cast<std::uint32_t>(i);
    pos[i] = static_cast<std::uint32_t>(i);
  }
  std::size_t p = 0;
  std::vector<std::uint32_t> group;
  for (std::size_t g = 0; g < n;) {
    const std::size_t m = items[by_length[g]].path.size();
    if (m == 0) break;
    group.clear();
    for (; g < n && items[by_length[g]].path.size() == m; ++g) group.push_back(pos[by_length[g]]);
    std::sort(group.begin(), group.end());
    // Everything between p and the position taken was scanned and is shorter,
    // so the entry that moves away from p never belongs to this group.
    for (const std::uint32_t i : group) {
      if (i != p) {
        std::swap(at[i], at[p]);
        pos[at[i]] = i;
        pos[at[p]] = static_cast<std::uint32_t>(p);
      }
      ++p;
    }
  }

  std::vector<PlanEntry> result;
  result.reserve(n);
  for (const std::uint32_t e : at) result.push_back(items[e]);
  return result;
}

}  // namespace

std::vector<PlanEntry> PlanRemovalOrderOfViews(std::vector<PlanEntry> entries) {
  Planner(entries).Complete();
  return Order(entries);
}

}  // namespace uninstall
