#pragma once
// The disk as a safe save writes to it. The program keeps the plain one; a
// test installs its own to watch the pieces as they are written, to fail
// them, or to save as on a file system without unnamed temporaries.

#include <cstddef>
#include <string>

namespace svc {

class SaveDisk {
public:
    virtual ~SaveDisk() = default;
    // After each piece written with the target (POSIX form), the bytes
    // written so far and the file's size; a result other than 0 fails the
    // write with that error number.
    virtual int PieceWritten(const std::string& /*target*/, std::size_t /*written*/, std::size_t /*size*/) {
        return 0;
    }
    // false: temporaries with names even where unnamed ones can be made.
    virtual bool UnnamedTemporaries() const { return true; }
};

namespace detail {
inline SaveDisk* saveDisk = nullptr;
}  // namespace detail

// Never null: without an installed one the plain disk.
inline SaveDisk& saveDisk() {
    static SaveDisk plain;
    return detail::saveDisk ? *detail::saveDisk : plain;
}
inline void setSaveDisk(SaveDisk* d) { detail::saveDisk = d; }

}  // namespace svc
