// Owners for what the job and the playback borrow from GDI: a device
// context's saved state, the objects, memory contexts and metafiles they
// make, and an object selected into a context for a while. Each gives back
// what it holds when it goes, on every path. Owners go in the reverse of
// the order they were made: an object is made before the saved state or
// selection that holds it in a context, so that it is deleted only once
// the context has let it go.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

// The context's state saved now and restored when the scope ends.
struct SavedState {
    explicit SavedState(HDC context) : dc(context), saved(SaveDC(context))
    {
    }
    ~SavedState()
    {
        RestoreDC(dc, saved);
    }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

    HDC dc;
    int saved;
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const
    {
        DeleteObject(object);
    }
};

// A pen, brush, font, region or bitmap the owner deletes; null when it
// could not be made.
template <typename Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, DeleteGdiObject>;

struct DeleteMemoryDc {
    void operator()(HDC dc) const
    {
        DeleteDC(dc);
    }
};

// A memory context made by CreateCompatibleDC; null when it could not be
// made.
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DeleteMemoryDc>;

struct DeleteMetafile {
    void operator()(HENHMETAFILE metafile) const
    {
        DeleteEnhMetaFile(metafile);
    }
};

// A metafile handle the owner deletes; null when there is none.
using EnhMetafile = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, DeleteMetafile>;

struct SelectBack {
    HGDIOBJ previous;
    void operator()(HDC dc) const
    {
        SelectObject(dc, previous);
    }
};

// An object selected into a context, the one it replaced selected back
// when the owner goes.
using Selection = std::unique_ptr<std::remove_pointer_t<HDC>, SelectBack>;

inline Selection Select(HDC dc, HGDIOBJ object)
{
    return Selection(dc, SelectBack{SelectObject(dc, object)});
}
