// Handle values mapped to the objects behind them (internal to the platform layer). A handle is
// looked up, never dereferenced, so a stale or made-up one is simply not found; each caller
// reports that with the error its Windows function sets. Not locked: each area guards its table
// with the lock that also guards the objects in it.
#pragma once

#include <memory>
#include <unordered_map>
#include <utility>

namespace norvosms::platform {

// Holder owns or shares the object: std::unique_ptr<T> or std::shared_ptr<T>.
template <typename Handle, typename Holder>
class HandleTable {
 public:
  using Object = typename std::pointer_traits<Holder>::element_type;

  void Add(Handle handle, Holder object) { m_objects[handle] = std::move(object); }

  // The object behind an open handle, else null.
  Object* Find(Handle handle) const {
    auto it = m_objects.find(handle);
    return it == m_objects.end() ? nullptr : it->second.get();
  }

  bool Contains(Handle handle) const { return m_objects.count(handle) != 0; }

  // A copy of the holder (for shared objects that must outlive the lock), else null.
  Holder Share(Handle handle) const {
    auto it = m_objects.find(handle);
    return it == m_objects.end() ? Holder() : it->second;
  }

  // Closes the handle and hands its object over (null when the handle was not open), so the
  // caller can let it go after releasing its lock.
  Holder Remove(Handle handle) {
    auto it = m_objects.find(handle);
    if (it == m_objects.end()) return Holder();
    Holder object = std::move(it->second);
    m_objects.erase(it);
    return object;
  }

  // Closes every handle whose object `doomed` picks.
  template <typename Predicate>
  void RemoveIf(Predicate doomed) {
    std::erase_if(m_objects, [&doomed](const auto& entry) { return doomed(*entry.second); });
  }

 private:
  std::unordered_map<Handle, Holder> m_objects;
};

}  // namespace norvosms::platform
