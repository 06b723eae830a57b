// A folder made from fuzz bytes: entries separated by 0xFF, each a name,
// a kind byte (0: a file, 1: a folder, 2: a FIFO, 3: a link to nowhere,
// 4: a link to itself, 5: a link to the folder above) and, for a file, its
// content. Made in a fresh folder on a RAM file system per input.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzzfolder {

namespace fs = std::filesystem;

// The scratch root: made once, emptied for every input, removed at exit.
inline const fs::path& Root() {
    struct Scratch {
        fs::path path;
        Scratch() {
            std::string tmpl =
                (fs::exists("/dev/shm") ? std::string("/dev/shm") : fs::temp_directory_path().string()) +
                "/tralvik-fuzz-XXXXXX";
            if (!::mkdtemp(tmpl.data())) std::abort();
            path = tmpl;
        }
        ~Scratch() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    };
    static const Scratch scratch;
    return scratch.path;
}

inline void Clear() {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(Root(), ec)) fs::remove_all(e.path(), ec);
}

// Makes the entries in Root()/name; returns how many were made.
inline std::size_t Make(const fs::path& folder, const uint8_t* data, size_t size) {
    fs::create_directories(folder);
    std::size_t made = 0, start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != 0xFF) continue;
        std::string entry(reinterpret_cast<const char*>(data) + start, i - start);
        start = i + 1;
        const std::size_t nul = entry.find('\0');
        if (nul == std::string::npos || nul + 1 >= entry.size() + 1) continue;
        std::string name = entry.substr(0, nul);
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
            name.size() > 200)
            continue;
        const int kind = nul + 1 < entry.size() ? static_cast<unsigned char>(entry[nul + 1]) % 6 : 0;
        const std::string content = nul + 2 < entry.size() ? entry.substr(nul + 2) : std::string();
        const fs::path p = folder / name;
        std::error_code ec;
        if (fs::exists(fs::symlink_status(p, ec))) continue;
        bool ok = true;
        switch (kind) {
        case 0: {
            FILE* f = std::fopen(p.c_str(), "wb");
            ok = f && std::fwrite(content.data(), 1, content.size(), f) == content.size();
            if (f) std::fclose(f);
            break;
        }
        case 1: ok = fs::create_directory(p, ec); break;
        case 2: ok = ::mkfifo(p.c_str(), 0644) == 0; break;
        case 3: ok = ::symlink("nowhere/at/all", p.c_str()) == 0; break;
        case 4: ok = ::symlink(name.c_str(), p.c_str()) == 0; break;
        case 5: ok = ::symlink("..", p.c_str()) == 0; break;
        }
        made += ok;
    }
    return made;
}

// Every regular file below `dir` (links not followed), as paths relative to it.
inline std::vector<std::string> FilesBelow(const fs::path& dir) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec) && !it->is_symlink(ec)) files.push_back(fs::relative(it->path(), dir).string());
    return files;
}

} // namespace fuzzfolder
