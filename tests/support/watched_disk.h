#pragma once
// A disk for safe saves that tests watch: each written piece goes to
// onPiece (its result fails the write when not 0), and unnamed temporaries
// can be refused. Installed while it lives.

#include <cstddef>
#include <functional>
#include <string>

#include "seams/disk.h"

namespace testsupport {

class WatchedDisk : public svc::SaveDisk {
public:
    WatchedDisk() { svc::setSaveDisk(this); }
    ~WatchedDisk() override { svc::setSaveDisk(nullptr); }
    WatchedDisk(const WatchedDisk&) = delete;
    WatchedDisk& operator=(const WatchedDisk&) = delete;

    int PieceWritten(const std::string& target, std::size_t written, std::size_t size) override {
        return onPiece ? onPiece(target, written, size) : 0;
    }
    bool UnnamedTemporaries() const override { return unnamed; }

    std::function<int(const std::string& target, std::size_t written, std::size_t size)> onPiece;
    bool unnamed = true;
};

}  // namespace testsupport
