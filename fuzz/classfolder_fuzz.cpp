// A class folder made from arbitrary bytes (names, kinds of entry): every
// entry is a recording or is named with why it is none, a FIFO is never
// opened, and every recording gets a page name of its own that stays in the
// class page's folder.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "fuzz/folder_support.h"
#include "lessons/class.h"
#include "station/Recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzfolder::Clear();
    const auto klass = fuzzfolder::Root() / "klass";
    const std::size_t made = fuzzfolder::Make(klass, data, size);
    tralvik::lessons::ClassFolder folder;
    try {
        folder = tralvik::lessons::ReadClassFolder(klass.string());
    } catch (const tralvik::RecordingError&) {
        std::abort(); // the folder is there
    }
    if (folder.recordings.size() + folder.others.size() != made) std::abort();
    std::vector<std::string> stems;
    for (const std::string& r : folder.recordings) stems.push_back(std::filesystem::path(r).stem().string());
    std::set<std::string> seen;
    for (std::string page : tralvik::lessons::PageNames("klass", stems)) {
        if (page.find('/') != std::string::npos || page.rfind("klass-", 0) != 0) std::abort();
        for (char& c : page)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (!seen.insert(page).second) std::abort();
    }
    return 0;
}
