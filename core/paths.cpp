#include "core/paths.h"

#include "core/inputfile.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <mutex>
#include <vector>

namespace tralvik {

bool IsAbsolute(const Text& name) {
    return (name.size() >= 2 && name[1] == ':') || (!name.empty() && name[0] == '/');
}

Text LastComponent(const Text& name) {
    auto pos = name.find_last_of("\\/");
    return pos == Text::npos ? name : name.substr(pos + 1);
}

Text JoinPath(const Text& dir, const Text& name) { return Cut250(dir + "/" + name); }

static const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

static void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

// Paths whose text differs from them: the text and the path.
struct FolderAlias {
    Text text;
    std::string path;
};
std::mutex gAliasLock;
std::vector<FolderAlias> gAliases;

// When `name` begins with the text of such a path (followed by its end or a
// separator): that path, and the rest of the name.
bool SplitAlias(const Text& name, std::string& path, Text& rest) {
    std::lock_guard<std::mutex> lock(gAliasLock);
    const FolderAlias* best = nullptr; // the longest, for a folder within another
    for (const FolderAlias& a : gAliases) {
        if (name.compare(0, a.text.size(), a.text) != 0) continue;
        if (name.size() > a.text.size() && name[a.text.size()] != '/' && name[a.text.size()] != '\\')
            continue;
        if (!best || a.text.size() > best->text.size()) best = &a;
    }
    if (!best) return false;
    path = best->path;
    rest = name.substr(best->text.size());
    return true;
}

std::string PlainUtf8(const Text& text);

} // namespace

Text SystemPathText(const std::string& path) {
    Text text = Utf8ToCp1252(path);
    if (PlainUtf8(text) == path && text.find('\\') == Text::npos) return text;
    std::lock_guard<std::mutex> lock(gAliasLock);
    for (FolderAlias& a : gAliases)
        if (a.text == text) {
            a.path = path; // the latest path of that text
            return text;
        }
    gAliases.push_back({text, path});
    return text;
}

std::string Cp1252ToUtf8(const Text& text) {
    std::string head;
    Text rest;
    if (SplitAlias(text, head, rest)) return head + PlainUtf8(rest);
    return PlainUtf8(text);
}

namespace {

std::string PlainUtf8(const Text& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        unsigned cp = c;
        if (c >= 0x80 && c < 0xA0) cp = kCp1252High[c - 0x80];
        AppendUtf8(out, cp);
    }
    return out;
}

} // namespace

Text Utf8ToCp1252(const std::string& utf8) {
    Text out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = utf8[i];
        unsigned cp;
        int len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) { cp = ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F); len = 2; }
        else if ((c & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
            cp = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
            len = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < utf8.size()) { cp = '?'; len = 4; }
        else { cp = '?'; len = 1; }
        i += len;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kCp1252High[k] == cp) mapped = static_cast<char>(0x80 + k);
        out += mapped;
    }
    return out;
}

static bool Exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

std::string FsPath(const Text& name) {
    std::string head;
    Text rest;
    const bool alias = SplitAlias(name, head, rest);
    std::string p = PlainUtf8(alias ? rest : name);
    for (char& c : p)
        if (c == '\\') c = '/';
    p = head + p; // the folder's own path is not converted
    if (p.empty() || Exists(p)) return p;
    // Car folders copied from Windows: accept a name that differs only in case.
    auto slash = p.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
    std::string base = slash == std::string::npos ? p : p.substr(slash + 1);
    if (base.empty()) return p;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return p;
    std::string found;
    int count = 0;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, base.c_str()) == 0) {
            found = e->d_name;
            ++count;
        }
    }
    ::closedir(d);
    if (count != 1) return p;
    return slash == std::string::npos ? found : p.substr(0, slash + 1) + found;
}

std::FILE* OpenOrThrow(const Text& name, const char* mode) {
    if (name.empty()) throw IoError("File not found", name);
    std::string fs = FsPath(name);
    if (mode[0] == 'r' && !std::strchr(mode, '+')) return OpenRegularFile(fs, Cp1252ToUtf8(name));
    errno = 0;
    std::FILE* f = std::fopen(fs.c_str(), mode);
    if (!f) ThrowIo(errno ? errno : EIO, Cp1252ToUtf8(name));
    struct stat st;
    if (::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        ThrowIo(EACCES, Cp1252ToUtf8(name));
    }
    return f;
}

bool FileExists(const Text& name) {
    if (name.empty()) return false;
    struct stat st;
    return ::stat(FsPath(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace tralvik
