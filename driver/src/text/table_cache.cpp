#include "text/table_cache.h"

#include <malloc.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <mutex>
#include <vector>

#include "text/delimited_reader.h"
#include "vendrel/dataaccess/filesystem.h"
#include "vendrel/driver/driver.h"
#include "vendrel/driver/shortcuts.h"

namespace vendrel::driver::text {

namespace {

struct Entry {
  std::shared_ptr<const IndexedTable> table;
  TableLayout layout;
};

bool SameBytes(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b) {
  size_t i = 0, j = 0;
  std::string_view x, y;
  for (;;) {
    while (x.empty() && i < a.size()) x = a[i++];
    while (y.empty() && j < b.size()) y = b[j++];
    if (x.empty() || y.empty()) return x.empty() && y.empty();
    const size_t n = std::min(x.size(), y.size());
    if (x.substr(0, n) != y.substr(0, n)) return false;
    x.remove_prefix(n);
    y.remove_prefix(n);
  }
}

class TableCache {
 public:
  // Never destroyed: a session may read a table while the process exits.
  static TableCache& Instance() {
    static TableCache* cache = new TableCache();
    return *cache;
  }

  // The table parsed before from the bytes the file holds now, under the
  // layout; nothing when there is none.
  std::shared_ptr<const IndexedTable> Find(const std::string& path, size_t size, const TableLayout& layout) {
    std::vector<std::shared_ptr<const IndexedTable>> candidates;
    {
      std::lock_guard lock(mutex_);
      for (const Entry& e : entries_)
        if (e.table->Table().FileSize() == size && e.layout == layout) candidates.push_back(e.table);
    }
    // Compared outside the lock: the tables cannot change, only leave the list.
    for (const auto& candidate : candidates) {
      if (!fs::FileEquals(path, candidate->Table().FilePieces())) continue;
      std::lock_guard lock(mutex_);
      const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.table == candidate; });
      if (it != entries_.end()) entries_.splice(entries_.begin(), entries_, it);  // most recently used first
      return candidate;
    }
    return nullptr;
  }

  void Add(std::shared_ptr<const IndexedTable> table, const TableLayout& layout) {
    std::lock_guard lock(mutex_);
    entries_.push_front(Entry{std::move(table), layout});
    Trim();
  }

  // Kept unless a table of the same bytes under the same layout is kept already.
  void Offer(std::shared_ptr<const IndexedTable> table, const TableLayout& layout) {
    const std::vector<std::string_view> pieces = table->Table().FilePieces();
    std::lock_guard lock(mutex_);
    for (const Entry& e : entries_)
      if (e.layout == layout && SameBytes(e.table->Table().FilePieces(), pieces)) return;
    entries_.push_front(Entry{std::move(table), layout});
    Trim();
  }

  void DropIdle() {
    std::lock_guard lock(mutex_);
    entries_.remove_if([](const Entry& e) { return e.table.use_count() == 1; });
  }

  size_t Count() {
    std::lock_guard lock(mutex_);
    Trim();
    return entries_.size();
  }

  void Enter() {
    std::lock_guard lock(mutex_);
    ++users_;
  }

  void Leave() {
    {
      std::list<Entry> dropped;  // freed outside the lock
      {
        std::lock_guard lock(mutex_);
        if (--users_ > 0) return;
        for (auto it = entries_.begin(); it != entries_.end();) {
          auto next = std::next(it);
          if (it->table.use_count() == 1) dropped.splice(dropped.end(), entries_, it);
          it = next;
        }
      }
    }
    // The allocator keeps what the files and tables took for later use
    // (some 110 MB after a query of a million rows); the caller gets it back.
    ::malloc_trim(0);
  }

 private:
  // Drops the least recently used tables that only the cache holds, beyond
  // the memory allowed to them; all of them when no text session is open.
  void Trim() {
    size_t idle = 0;
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it->table.use_count() > 1) {
        ++it;
        continue;
      }
      idle += it->table->MemoryBytes();
      if (users_ == 0 || idle > kIdleTablesMemory)
        it = entries_.erase(it);
      else
        ++it;
    }
  }

  std::mutex mutex_;
  std::list<Entry> entries_;  // most recently used first
  size_t users_ = 0;          // open text sessions
};

}  // namespace

std::shared_ptr<const IndexedTable> ReadSharedTextTable(const std::string& path, std::string_view fileName,
                                                        const TableLayout& layout, size_t size) {
  RefuseFixedLength(fileName, layout);
  TableCache& cache = TableCache::Instance();
  const bool cached = CurrentShortcuts().tableCache;
  // Compared piece by piece where it lies: a table found costs neither a
  // copy nor a mapping of its file.
  if (cached)
    if (auto table = cache.Find(path, size, layout)) return table;
  auto bytes = std::make_unique<const std::string>(fs::ReadFile(path));
  auto table = std::make_shared<const IndexedTable>(ParseTextFile(std::move(bytes), fileName, layout));
  if (cached) cache.Add(table, layout);
  return table;
}

void OfferTable(std::shared_ptr<const IndexedTable> table, const TableLayout& layout) {
  if (CurrentShortcuts().tableCache) TableCache::Instance().Offer(std::move(table), layout);
}

void DropIdleTables() { TableCache::Instance().DropIdle(); }

size_t CachedTableCount() { return TableCache::Instance().Count(); }

TableCacheUse::TableCacheUse() { TableCache::Instance().Enter(); }

TableCacheUse::~TableCacheUse() { TableCache::Instance().Leave(); }

}  // namespace vendrel::driver::text

namespace vendrel::driver {

size_t ParsedTextTableCount() { return text::CachedTableCount(); }

}  // namespace vendrel::driver
