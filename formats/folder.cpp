#include "formats/folder.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace tralvik::formats {

namespace fs = std::filesystem;

std::vector<FolderEntry> FolderEntries(const std::string& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        const std::string why = ec ? ec.message()
                                   : fs::exists(folder, ec) ? "it is not a folder" : "it does not exist";
        throw std::runtime_error("cannot read the folder " + folder + ": " + why);
    }
    fs::directory_iterator it(folder, ec);
    if (ec) throw std::runtime_error("cannot read the folder " + folder + ": " + ec.message());
    std::vector<FolderEntry> entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) throw std::runtime_error("cannot read the folder " + folder + ": " + ec.message());
        FolderEntry e{it->path().string(), it->path().filename().string(), EntryKind::Other};
        std::error_code sec;
        const fs::file_status st = fs::status(it->path(), sec); // follows links
        if (sec) {
            e.kind = sec.value() == ELOOP ? EntryKind::LinkLoop
                     : fs::is_symlink(fs::symlink_status(it->path(), sec)) ? EntryKind::DanglingLink
                                                                            : EntryKind::Other;
        } else if (fs::is_regular_file(st)) {
            e.kind = EntryKind::Regular;
        } else if (fs::is_directory(st)) {
            e.kind = EntryKind::Folder;
        } else if (fs::is_fifo(st)) {
            e.kind = EntryKind::Fifo;
        } else if (fs::is_character_file(st) || fs::is_block_file(st)) {
            e.kind = EntryKind::Device;
        } else if (!fs::exists(st)) {
            e.kind = EntryKind::DanglingLink;
        }
        entries.push_back(std::move(e));
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

bool HasExtension(const std::string& name, const std::string& ext) {
    if (name.size() <= ext.size()) return false;
    return std::equal(ext.begin(), ext.end(), name.end() - static_cast<long>(ext.size()), [](char a, char b) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(a) == lower(b);
    });
}

std::string KindText(EntryKind kind) {
    switch (kind) {
    case EntryKind::Regular: return "";
    case EntryKind::Folder: return "a folder";
    case EntryKind::Fifo: return "a FIFO";
    case EntryKind::Device: return "a device";
    case EntryKind::DanglingLink: return "a link that leads nowhere";
    case EntryKind::LinkLoop: return "a link loop";
    case EntryKind::Other: break;
    }
    return "not a regular file";
}

} // namespace tralvik::formats
