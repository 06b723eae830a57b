// A small file system of its own (tmpfs) for a test: a full disk or a
// read-only one under a program's outputs. Mounting needs root: where it
// fails, ok() is false and the test skips.
#pragma once

#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tralvik::testing {

class Tmpfs {
  public:
    Tmpfs(const std::string& path, const std::string& size) : path_(path) {
        std::filesystem::create_directories(path);
        ok_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~Tmpfs() {
        if (ok_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    bool ok() const { return ok_; }
    bool MakeReadOnly() { return ::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
    // Fills what room is left.
    void Fill() const {
        std::ofstream f(path_ + "/filler", std::ios::binary);
        std::string block(4096, 'x');
        for (int i = 0; i < 100000 && f.write(block.data(), block.size()); ++i) {
        }
    }

  private:
    std::string path_;
    bool ok_ = false;
};

} // namespace tralvik::testing
