// The registry of in-memory databases (NotesMemoryDatabases), for tests only: it lives in
// notes_testsupport and plugs itself into the layer as its memory source.
#include "common/notes/DxlReader.h"
#include "common/notes/Notes.h"

#include <map>
#include <mutex>

namespace {

struct MemoryRegistry {
    std::mutex mutex;
    std::map<QString, std::pair<QByteArray, std::uint64_t>> databases;
    std::uint64_t generation = 0;
};

MemoryRegistry& Memory() {
    static MemoryRegistry registry;
    return registry;
}

bool Lookup(const QString& path, QByteArray* dxl, std::uint64_t* generation) {
    auto& m = Memory();
    std::lock_guard lock(m.mutex);
    const auto it = m.databases.find(path);
    if (it == m.databases.end()) return false;
    *dxl = it->second.first;
    *generation = it->second.second;
    return true;
}

}  // namespace

namespace NotesMemoryDatabases {

void Add(const QString& path, const QByteArray& dxl) {
    notes_detail::SetMemorySource(&Lookup);
    auto& m = Memory();
    std::lock_guard lock(m.mutex);
    m.databases[path] = {dxl, ++m.generation};
}

void Remove(const QString& path) {
    auto& m = Memory();
    std::lock_guard lock(m.mutex);
    m.databases.erase(path);
}

void Clear() {
    auto& m = Memory();
    std::lock_guard lock(m.mutex);
    m.databases.clear();
}

}  // namespace NotesMemoryDatabases
