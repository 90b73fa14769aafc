// Inside the drawing layer: the entries of the handle table and the objects behind them.
#pragma once

#include <memory>

#include "platform/gdi/device_context.h"
#include "platform/gdi/handles.h"

namespace plat::detail {

struct PenObject {
    PenState pen;
};
struct BrushObject {
    BrushState brush;
};
struct FontObject {
    LOGFONTW font;
};
struct RegionObject {
    Region region;
};

// Entries hold shared objects so that a lookup stays valid while the handle is freed.
Handle AllocHandle(HandleKind kind, std::shared_ptr<void> object, bool permanent = false);
std::shared_ptr<void> LookupHandle(Handle handle, HandleKind kind);
// False for a bad handle or a permanent (stock) entry.
bool FreeHandle(Handle handle, HandleKind kind);

template <class T>
std::shared_ptr<T> Lookup(Handle handle, HandleKind kind) {
    return std::static_pointer_cast<T>(LookupHandle(handle, kind));
}

// Metafile recorders learn of deleted objects that they hold an index for.
class ObjectDeletionListener {
  public:
    virtual void OnObjectDeleted(HGDIOBJ object) = 0;

  protected:
    ~ObjectDeletionListener() = default;
};
void AddDeletionListener(ObjectDeletionListener* listener);
void RemoveDeletionListener(ObjectDeletionListener* listener);
void NotifyDeleted(HGDIOBJ object);

}  // namespace plat::detail
