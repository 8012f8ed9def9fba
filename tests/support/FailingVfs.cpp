#include "support/FailingVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>

namespace twk::test {
namespace {

constexpr char kVfsName[] = "twk-failing";

FailingVfs* g_active = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

// A file of the wrapping layer: its own header, followed by the real layer's file.
struct WrappedFile {
    sqlite3_file base;
    bool main_db;
    sqlite3_file* Real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

WrappedFile* Wrapped(sqlite3_file* file) {
    return reinterpret_cast<WrappedFile*>(file);
}

sqlite3_vfs* RealVfs() {
    return static_cast<sqlite3_vfs*>(g_vfs.pAppData);
}

int Close(sqlite3_file* file) {
    sqlite3_file* real = Wrapped(file)->Real();
    return real->pMethods != nullptr ? real->pMethods->xClose(real) : SQLITE_OK;
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    WrappedFile* wrapped = Wrapped(file);
    if (wrapped->main_db && g_active != nullptr && g_active->TakeFailure()) {
        return SQLITE_IOERR_READ;
    }
    return wrapped->Real()->pMethods->xRead(wrapped->Real(), buffer, amount, offset);
}

#define TWK_FORWARD(name, signature, ...)                                \
    int name signature {                                                 \
        sqlite3_file* real = Wrapped(file)->Real();                      \
        return real->pMethods->x##name(real __VA_OPT__(, ) __VA_ARGS__); \
    }

TWK_FORWARD(Write, (sqlite3_file * file, const void* data, int amount, sqlite3_int64 offset), data,
            amount, offset)
TWK_FORWARD(Truncate, (sqlite3_file * file, sqlite3_int64 size), size)
TWK_FORWARD(Sync, (sqlite3_file * file, int flags), flags)
TWK_FORWARD(FileSize, (sqlite3_file * file, sqlite3_int64* size), size)
TWK_FORWARD(Lock, (sqlite3_file * file, int level), level)
TWK_FORWARD(Unlock, (sqlite3_file * file, int level), level)
TWK_FORWARD(CheckReservedLock, (sqlite3_file * file, int* out), out)
TWK_FORWARD(FileControl, (sqlite3_file * file, int op, void* arg), op, arg)
TWK_FORWARD(SectorSize, (sqlite3_file * file))
TWK_FORWARD(DeviceCharacteristics, (sqlite3_file * file))
TWK_FORWARD(ShmMap, (sqlite3_file * file, int page, int size, int extend, void volatile** out),
            page, size, extend, out)
TWK_FORWARD(ShmLock, (sqlite3_file * file, int offset, int n, int flags), offset, n, flags)
TWK_FORWARD(ShmUnmap, (sqlite3_file * file, int remove), remove)
TWK_FORWARD(Fetch, (sqlite3_file * file, sqlite3_int64 offset, int amount, void** out), offset,
            amount, out)
TWK_FORWARD(Unfetch, (sqlite3_file * file, sqlite3_int64 offset, void* data), offset, data)
#undef TWK_FORWARD

void ShmBarrier(sqlite3_file* file) {
    sqlite3_file* real = Wrapped(file)->Real();
    real->pMethods->xShmBarrier(real);
}

int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    WrappedFile* wrapped = Wrapped(file);
    wrapped->base.pMethods = nullptr;
    wrapped->main_db = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    sqlite3_file* real = wrapped->Real();
    int rc = RealVfs()->xOpen(RealVfs(), name, real, flags, outFlags);
    if (real->pMethods != nullptr) {
        // Only what the real file offers is offered, so SQLite never calls a missing one.
        g_methods.iVersion = std::min(real->pMethods->iVersion, 3);
        wrapped->base.pMethods = &g_methods;
    }
    return rc;
}

}  // namespace

FailingVfs::FailingVfs() : vfs_(&g_vfs) {
    if (g_active != nullptr) {
        throw std::logic_error("only one FailingVfs at a time");
    }
    sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
    if (real == nullptr) {
        throw std::runtime_error("no default SQLite file layer");
    }
    g_vfs = *real;
    g_vfs.zName = kVfsName;
    g_vfs.szOsFile = static_cast<int>(sizeof(WrappedFile)) + real->szOsFile;
    g_vfs.pAppData = real;
    g_vfs.xOpen = &Open;
    g_vfs.pNext = nullptr;
    g_methods = sqlite3_io_methods{};
    g_methods.xClose = &Close;
    g_methods.xRead = &Read;
    g_methods.xWrite = &Write;
    g_methods.xTruncate = &Truncate;
    g_methods.xSync = &Sync;
    g_methods.xFileSize = &FileSize;
    g_methods.xLock = &Lock;
    g_methods.xUnlock = &Unlock;
    g_methods.xCheckReservedLock = &CheckReservedLock;
    g_methods.xFileControl = &FileControl;
    g_methods.xSectorSize = &SectorSize;
    g_methods.xDeviceCharacteristics = &DeviceCharacteristics;
    g_methods.xShmMap = &ShmMap;
    g_methods.xShmLock = &ShmLock;
    g_methods.xShmBarrier = &ShmBarrier;
    g_methods.xShmUnmap = &ShmUnmap;
    g_methods.xFetch = &Fetch;
    g_methods.xUnfetch = &Unfetch;
    if (sqlite3_vfs_register(&g_vfs, 1) != SQLITE_OK) {
        throw std::runtime_error("cannot register the failing file layer");
    }
    g_active = this;
}

FailingVfs::~FailingVfs() {
    g_active = nullptr;
    sqlite3_vfs_unregister(vfs_);
    // The real layer becomes the default again.
    sqlite3_vfs_register(static_cast<sqlite3_vfs*>(g_vfs.pAppData), 1);
}

bool FailingVfs::TakeFailure() {
    int left = reads_until_failure_.load();
    if (left <= 0) {
        return false;
    }
    reads_until_failure_ = left - 1;
    if (left == 1) {
        ++failures_;
        return true;
    }
    return false;
}

}  // namespace twk::test
