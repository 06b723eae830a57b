// The entries of a folder with what kind each is, so that a command that
// takes every file of a kind from a folder can account for every entry:
// a FIFO is never opened (it would wait for a writer), a link that leads
// nowhere or round in a loop is named, not skipped.
//
//   for (const formats::FolderEntry& e : formats::FolderEntries("klass"))
//       if (e.kind == formats::EntryKind::Regular && formats::HasExtension(e.name, ".rec")) ...
#pragma once

#include <string>
#include <vector>

namespace tralvik::formats {

enum class EntryKind { Regular, Folder, Fifo, Device, DanglingLink, LinkLoop, Other };

struct FolderEntry {
    std::string path; // the folder's path joined with the name
    std::string name; // the entry's own name
    EntryKind kind = EntryKind::Other;
};

// Every entry of `folder` but "." and "..", in name order (bytewise).
// Throws std::runtime_error "cannot read the folder F: reason" when the
// folder cannot be listed (missing, not a folder, no permission).
std::vector<FolderEntry> FolderEntries(const std::string& folder);

// Whether `name` ends in `ext` (".rec"), in any letter case.
bool HasExtension(const std::string& name, const std::string& ext);

// "a folder", "a FIFO", "a device", "a link that leads nowhere", "a link
// loop", "not a regular file"; empty for a regular file.
std::string KindText(EntryKind kind);

} // namespace tralvik::formats
