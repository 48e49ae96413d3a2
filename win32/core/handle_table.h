// Handle tables: Win32 handles are opaque values, never raw pointers to our
// objects, so a stale or forged handle is detected and fails cleanly instead
// of touching freed memory. Values are never reused within a process.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace win32::core {

template <typename Object>
class HandleTable {
public:
    // first and step keep the handle kinds in separate ranges, so passing an
    // HWND where an HGDIOBJ is wanted is caught too.
    HandleTable(uintptr_t first, uintptr_t step) : next_(first), step_(step) {}

    uintptr_t add(std::unique_ptr<Object> object)
    {
        uintptr_t handle = next_;
        next_ += step_;
        objects_.emplace(handle, std::move(object));
        return handle;
    }

    Object* find(uintptr_t handle) const
    {
        auto it = objects_.find(handle);
        return it == objects_.end() ? nullptr : it->second.get();
    }

    // Returns the object so that the caller can finish tearing it down.
    std::unique_ptr<Object> remove(uintptr_t handle)
    {
        auto it = objects_.find(handle);
        if (it == objects_.end())
            return nullptr;
        std::unique_ptr<Object> object = std::move(it->second);
        objects_.erase(it);
        return object;
    }

    size_t size() const { return objects_.size(); }

    template <typename Function>
    void forEach(Function function) const
    {
        for (const auto& [handle, object] : objects_)
            function(handle, object.get());
    }

private:
    uintptr_t next_;
    uintptr_t step_;
    std::unordered_map<uintptr_t, std::unique_ptr<Object>> objects_;
};

} // namespace win32::core
