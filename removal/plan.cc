#include "removal/plan.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <queue>
#include <set>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "installlog/records.h"
#include "paths/split.h"

// How the completion is done without re-running passes.
//
// An entry is in one of three states, and it only ever moves forward:
//   kLone        no other entry's path is a strict prefix of it (same root);
//   kIncomplete  it has such an ancestor, but its parent is not in the list;
//   kComplete    its parent is in the list (the parent is itself an ancestor).
// Entries are only ever added, so an entry never moves back. A pass of the
// step-by-step procedure appends the parent of the first kIncomplete entry in
// list order, and nothing else changes in between. So it is enough to keep
// the kIncomplete entries in a min-heap of positions, and, on each append of
// a key P, update exactly the entries whose state P changes:
//   - kIncomplete entries whose parent is P (a list of waiters per key);
//   - kLone entries that P is a strict prefix of: a contiguous range of the
//     kLone entries kept sorted by (root, path).
// The new entry's own state is found by looking up each of its prefixes in a
// hash table of keys, with the prefix hashes computed in one rolling pass.
// Every entry changes state at most twice, so the whole completion costs
// O(n log n) plus O(L) per entry for paths of length L.
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

// A key (root, path) named by a prefix of the path of one entry.
struct Slice {
  std::uint32_t item;
  std::uint32_t len;
  std::uint64_t hash;  // of the root and the first len characters
};

struct KeyNode {
  bool present = false;
  std::uint32_t first_waiter = kNone;  // kIncomplete entries whose parent is this key
};

class Planner {
 public:
  explicit Planner(std::vector<PlanItem>& items)
      : items_(items),
        keys_(items.size() * 2 + 16, SliceHash{}, SliceEqual{&items}),
        lone_(LoneLess{&items}) {}

  void Complete() {
    const std::size_t initial = items_.size();
    state_.resize(initial, State::kLone);
    next_waiter_.resize(initial, kNone);
    for (std::size_t i = 0; i < initial; ++i) Node(WholeKey(i)).present = true;
    for (std::size_t i = 0; i < initial; ++i) Classify(static_cast<std::uint32_t>(i));

    for (;;) {
      while (!incomplete_.empty() && state_[incomplete_.top()] != State::kIncomplete) {
        incomplete_.pop();
      }
      if (incomplete_.empty() || items_.size() >= static_cast<std::size_t>(kMaxEntries)) return;
      AppendParentOf(incomplete_.top());
    }
  }

 private:
  struct SliceHash {
    std::size_t operator()(const Slice& s) const noexcept {
      std::uint64_t h = s.hash;
      h ^= h >> 33;
      h *= 0xFF51AFD7ED558CCDull;
      h ^= h >> 33;
      return static_cast<std::size_t>(h);
    }
  };
  struct SliceEqual {
    const std::vector<PlanItem>* items;
    bool operator()(const Slice& a, const Slice& b) const noexcept {
      if (a.hash != b.hash || a.len != b.len) return false;
      const PlanItem& x = (*items)[a.item];
      const PlanItem& y = (*items)[b.item];
      return x.root == y.root && x.path.compare(0, a.len, y.path, 0, b.len) == 0;
    }
  };
  // Orders entries by (root, path, position); a (root, path) probe finds the
  // first entry whose key is not below it.
  struct Probe {
    std::int32_t root;
    std::wstring_view path;
  };
  struct LoneLess {
    using is_transparent = void;
    const std::vector<PlanItem>* items;
    bool operator()(std::uint32_t a, std::uint32_t b) const {
      const PlanItem& x = (*items)[a];
      const PlanItem& y = (*items)[b];
      if (x.root != y.root) return x.root < y.root;
      if (const int c = x.path.compare(y.path); c != 0) return c < 0;
      return a < b;
    }
    bool operator()(std::uint32_t a, const Probe& p) const {
      const PlanItem& x = (*items)[a];
      if (x.root != p.root) return x.root < p.root;
      return std::wstring_view(x.path) < p.path;
    }
    bool operator()(const Probe& p, std::uint32_t b) const {
      const PlanItem& y = (*items)[b];
      if (p.root != y.root) return p.root < y.root;
      return p.path <= std::wstring_view(y.path);
    }
  };

  Slice WholeKey(std::size_t i) const {
    const PlanItem& item = items_[i];
    std::uint64_t h = HashStart(item.root);
    for (const wchar_t c : item.path) h = HashStep(h, c);
    return {static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(item.path.size()), h};
  }

  KeyNode& Node(const Slice& key) { return keys_[key]; }

  bool Present(const Slice& key) const {
    const auto it = keys_.find(key);
    return it != keys_.end() && it->second.present;
  }

  // Settles the state of an entry that is kLone as far as anyone knows yet:
  // looks up its parent and its other strict prefixes.
  void Classify(std::uint32_t i) {
    const PlanItem& item = items_[i];
    const std::size_t parent_len = ParentLength(item.path);
    bool has_ancestor = false;
    Slice parent{i, 0, 0};
    std::uint64_t h = HashStart(item.root);
    for (std::size_t len = 0; len < item.path.size(); ++len) {
      const Slice prefix{i, static_cast<std::uint32_t>(len), h};
      if (len == parent_len) {
        parent = prefix;
        if (Present(prefix)) {
          state_[i] = State::kComplete;
          return;
        }
      }
      if (!has_ancestor) has_ancestor = Present(prefix);
      // With an ancestor found, only the parent is left to look up.
      if (has_ancestor && len >= parent_len) break;
      h = HashStep(h, item.path[len]);
    }
    if (!has_ancestor) {
      state_[i] = State::kLone;
      lone_.insert(i);
      return;
    }
    state_[i] = State::kIncomplete;
    KeyNode& node = Node(parent);
    next_waiter_[i] = node.first_waiter;
    node.first_waiter = i;
    incomplete_.push(i);
  }

  void AppendParentOf(std::uint32_t j) {
    const auto q = static_cast<std::uint32_t>(items_.size());
    PlanItem parent{items_[j].root, items_[j].path.substr(0, ParentLength(items_[j].path))};
    items_.push_back(std::move(parent));
    state_.push_back(State::kLone);
    next_waiter_.push_back(kNone);

    KeyNode& node = Node(WholeKey(q));
    node.present = true;
    for (std::uint32_t w = std::exchange(node.first_waiter, kNone); w != kNone;
         w = next_waiter_[w]) {
      state_[w] = State::kComplete;
    }

    // Lone entries below the new key now have an ancestor. The key was not in
    // the list before, so every entry in the range is strictly longer.
    const PlanItem& added = items_[q];
    std::vector<std::uint32_t> reached;
    auto it = lone_.lower_bound(Probe{added.root, added.path});
    while (it != lone_.end() && items_[*it].root == added.root &&
           items_[*it].path.starts_with(added.path)) {
      reached.push_back(*it);
      it = lone_.erase(it);
    }
    for (const std::uint32_t r : reached) Classify(r);
    Classify(q);
  }

  std::vector<PlanItem>& items_;
  std::vector<State> state_;
  std::vector<std::uint32_t> next_waiter_;
  std::unordered_map<Slice, KeyNode, SliceHash, SliceEqual> keys_;
  std::set<std::uint32_t, LoneLess> lone_;
  std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, std::greater<>> incomplete_;
};

// Longest first, by one exchange pass per distinct length, stopping where the
// step-by-step selection stops: with the free position at kMaxEntries - 1
// (counted from 0), which leaves at most the last entry of a full list, and
// that one is the shortest anyway.
std::vector<PlanItem> Order(std::vector<PlanItem> items) {
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
  const std::size_t stop = static_cast<std::size_t>(kMaxEntries) - 1;
  std::size_t p = 0;
  std::vector<std::uint32_t> group;
  for (std::size_t g = 0; g < n && p < stop;) {
    const std::size_t m = items[by_length[g]].path.size();
    if (m == 0) break;
    group.clear();
    for (; g < n && items[by_length[g]].path.size() == m; ++g) group.push_back(pos[by_length[g]]);
    std::sort(group.begin(), group.end());
    // Everything between p and the position taken was scanned and is shorter,
    // so the entry that moves away from p never belongs to this group.
    for (const std::uint32_t i : group) {
      if (p == stop) break;
      if (i != p) {
        std::swap(at[i], at[p]);
        pos[at[i]] = i;
        pos[at[p]] = static_cast<std::uint32_t>(p);
      }
      ++p;
    }
  }

  std::vector<PlanItem> result;
  result.reserve(n);
  for (const std::uint32_t e : at) result.push_back(std::move(items[e]));
  return result;
}

}  // namespace

std::vector<PlanItem> PlanRemovalOrder(std::vector<PlanItem> items) {
  Planner(items).Complete();
  return Order(std::move(items));
}

}  // namespace uninstall
