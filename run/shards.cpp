#include "run/shards.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "core/fnv.h"
#include "core/savefile.h"
#include "run/runner.h"
#include "run/studyoutput.h"

namespace tralvik::run {

using namespace tralvik::studies;
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr const char* kPlanFirstLine = "# tralvik-batch plan 1";
constexpr const char* kShardKind = "tralvik-batch shard 1";

// A wrong plan, shard file or folder: the message, ending the command.
struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Strings go into the files as JSON with every byte above 127 written
// \u00XX, and come back byte for byte: a value or a run's message may hold
// any byte, not only UTF-8.
void PutString(std::string& to, const std::string& text) {
    static const char* const kHex = "0123456789abcdef";
    to += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            to += '\\';
            to += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            to += "\\u00";
            to += kHex[c >> 4];
            to += kHex[c & 15];
        } else {
            to += static_cast<char>(c);
        }
    }
    to += '"';
}

std::string Bytes(const json& j) {
    const std::string utf8 = j.get<std::string>();
    std::string bytes;
    bytes.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if ((c & 0xE0) == 0xC0 && c <= 0xC3 && i + 1 < utf8.size()) {
            bytes += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            throw std::runtime_error("a text beyond one byte a character");
        }
    }
    return bytes;
}

void PutPairs(std::string& to, const std::vector<std::pair<std::string, std::string>>& pairs) {
    to += '[';
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        to += i ? ",[" : "[";
        PutString(to, pairs[i].first);
        to += ',';
        PutString(to, pairs[i].second);
        to += ']';
    }
    to += ']';
}

std::vector<std::pair<std::string, std::string>> Pairs(const json& j) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const json& p : j) pairs.emplace_back(Bytes(p.at(0)), Bytes(p.at(1)));
    return pairs;
}

// A path or name with its end, so that "ab"+"c" and "a"+"bc" differ.
void AddName(Fnv64Hash& f, const std::string& s) {
    f.Add(std::string_view(s.data(), s.size() + 1));
}

void AddFile(Fnv64Hash& f, const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Refused("cannot read " + path.string() + " for its fingerprint");
    char buf[1 << 16];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) f.Add(std::string_view(buf, static_cast<std::size_t>(in.gcount())));
}

// The fingerprint of a file, or of a folder's files and their names.
std::string Fingerprint(const std::string& path) {
    Fnv64Hash f;
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
        AddFile(f, path);
        return f.Hex();
    }
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file(ec)) files.push_back(it->path());
    if (ec) throw Refused("cannot read the folder " + path + " for its fingerprint: " + ec.message());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        AddName(f, fs::relative(file, path).string());
        AddFile(f, file);
    }
    return f.Hex();
}

// The inputs a study reads besides its options.
std::vector<std::string> Inputs(const StudySettings& opt) {
    std::vector<std::string> inputs = StudyFolders(opt);
    for (const std::string* p : {&opt.cars, &opt.carsGuide, &opt.inputFile, &opt.load})
        if (!p->empty()) inputs.push_back(*p);
    return inputs;
}

// The plan's head: its second line.
struct PlanHead {
    std::vector<std::string> args;
    std::string cwd;
    std::size_t runs = 0;
    std::vector<std::pair<std::string, std::string>> inputs; // path, fingerprint
    std::string id; // the head's own fingerprint: which plan a shard's file belongs to
    std::string text;
};

std::string HeadLine(const PlanHead& h) {
    std::string line = "{\"program\":";
    PutString(line, std::string("tralvik-batch ") + ProgramVersion());
    line += ",\"cwd\":";
    PutString(line, h.cwd);
    line += ",\"args\":[";
    for (std::size_t i = 0; i < h.args.size(); ++i) {
        if (i) line += ',';
        PutString(line, h.args[i]);
    }
    line += "],\"inputs\":";
    PutPairs(line, h.inputs);
    line += ",\"runs\":" + std::to_string(h.runs) + "}";
    return line;
}

std::string PlanId(const std::string& headLine) {
    Fnv64Hash f;
    AddName(f, headLine);
    return f.Hex();
}

PlanHead ParseHead(const std::string& line, const std::string& where) {
    PlanHead h;
    try {
        json j = json::parse(line);
        for (const json& a : j.at("args")) h.args.push_back(Bytes(a));
        h.cwd = Bytes(j.at("cwd"));
        h.inputs = Pairs(j.at("inputs"));
        h.runs = j.at("runs").get<std::size_t>();
    } catch (const std::exception& e) {
        throw Refused(where + ": not a study plan's head (" + e.what() + ")");
    }
    h.text = line;
    h.id = PlanId(line);
    return h;
}

std::string PlanLine(std::size_t index, const RunPlan& r) {
    std::string line = "{\"run\":" + std::to_string(index) + ",\"name\":";
    PutString(line, r.name);
    line += ",\"folder\":";
    PutString(line, r.folder);
    line += ",\"sets\":";
    std::vector<std::pair<std::string, std::string>> sets;
    for (const Assignment& a : r.sets) sets.emplace_back(a.name, a.value);
    PutPairs(line, sets);
    line += ",\"swept\":" + std::to_string(r.swept.size()) + ",\"car\":" + std::to_string(r.car);
    return line; // the record goes on from here
}

RunPlan ParseRun(const json& j, std::size_t& index) {
    index = j.at("run").get<std::size_t>();
    RunPlan r;
    r.name = Bytes(j.at("name"));
    r.folder = Bytes(j.at("folder"));
    for (const auto& [name, value] : Pairs(j.at("sets"))) r.sets.push_back({name, value});
    const std::size_t swept = j.at("swept").get<std::size_t>();
    if (swept > r.sets.size()) throw std::runtime_error("more swept values than values");
    r.swept.assign(r.sets.end() - static_cast<std::ptrdiff_t>(swept), r.sets.end());
    r.car = j.at("car").get<long>();
    return r;
}

// Reads a plan a line at a time.
class PlanReader {
  public:
    explicit PlanReader(const std::string& file) : file_(file), in_(file, std::ios::binary) {
        if (!in_) throw Refused("cannot read the plan " + file + ": " + std::strerror(errno));
        std::string first, second;
        if (!std::getline(in_, first) || first != kPlanFirstLine || !std::getline(in_, second))
            throw Refused(file + " is not a study plan (made by tralvik-batch ... --plan FILE)");
        head_ = ParseHead(second, file + ", line 2");
        line_ = 2;
    }
    const PlanHead& Head() const { return head_; }
    // The next run; nothing after the last, which must be the plan's end.
    std::optional<std::pair<std::size_t, RunPlan>> Next() {
        std::string line;
        if (!std::getline(in_, line)) throw Refused(file_ + " ends early, after line " + std::to_string(line_) + ": make the plan again");
        ++line_;
        if (line.rfind("# end ", 0) == 0) {
            if (line != "# end " + std::to_string(head_.runs) || read_ != head_.runs)
                throw Refused(file_ + ", line " + std::to_string(line_) + ": the plan's end does not match its " +
                              std::to_string(head_.runs) + " runs");
            return std::nullopt;
        }
        std::size_t index = 0;
        RunPlan r;
        try {
            r = ParseRun(json::parse(line), index);
        } catch (const std::exception& e) {
            throw Refused(file_ + ", line " + std::to_string(line_) + ": not a planned run (" + e.what() + ")");
        }
        if (index != read_)
            throw Refused(file_ + ", line " + std::to_string(line_) + ": run " + std::to_string(index) +
                          " where run " + std::to_string(read_) + " was due");
        ++read_;
        return std::pair{index, std::move(r)};
    }

  private:
    std::string file_;
    std::ifstream in_;
    PlanHead head_;
    std::size_t line_ = 0, read_ = 0;
};

std::string ShardName(std::size_t shard, std::size_t shards) {
    return "shard-" + std::to_string(shard) + "-of-" + std::to_string(shards);
}

std::string ShardHeadLine(const PlanHead& plan, const std::string& planFile, std::size_t shard, std::size_t shards) {
    std::string line = "{\"kind\":";
    PutString(line, kShardKind);
    line += ",\"plan\":";
    PutString(line, planFile);
    line += ",\"plan_id\":\"" + plan.id + "\",\"shard\":" + std::to_string(shard) +
            ",\"shards\":" + std::to_string(shards) + ",\"head\":";
    PutString(line, plan.text);
    return line + "}";
}

// The study's settings as the plan's command line gives them.
StudySettings SettingsOf(const PlanHead& head, const ParseStudy& parse, const std::string& where) {
    std::string error;
    auto opt = parse(head.args, error);
    if (!opt) throw Refused(where + ": its options are refused: " + error);
    return *opt;
}

void CheckInputs(const PlanHead& head, const std::string& planFile) {
    for (const auto& [path, was] : head.inputs) {
        std::string now;
        try {
            now = Fingerprint(path);
        } catch (const Refused& e) {
            throw Refused(std::string(e.what()) + " (named by the plan " + planFile + ")");
        }
        if (now != was)
            throw Refused(path + " has changed since the plan " + planFile +
                          " was made (its fingerprint was " + was + ", now " + now +
                          "): every shard must run on the same data; make the plan again");
    }
}

int Fail(const std::exception& e) {
    std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
    return 2;
}

// A shard's runs file, read: its head and the lines of its runs.
struct ShardFile {
    std::string path;
    json head;
    std::size_t shard = 0, shards = 0;
    std::string planId, planFile;
};

} // namespace

int WritePlan(const StudySettings& opt, const std::vector<std::string>& args, const std::string& planFile) {
    try {
        Fleet fleet;
        if (auto status = PrepareStudy(opt, fleet)) return *status;
        StudyPlan plan = MakePlan(opt, fleet);
        PlanHead head;
        head.cwd = fs::current_path().string();
        // The command line without the plan's own option.
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--plan") {
                ++i;
                continue;
            }
            if (args[i].rfind("--plan=", 0) == 0) continue;
            head.args.push_back(args[i]);
        }
        for (const std::string& input : Inputs(opt)) head.inputs.emplace_back(input, Fingerprint(input));
        head.runs = plan.Count();
        ReplacingWriter w(planFile);
        w.Write(std::string(kPlanFirstLine) + "\n" + HeadLine(head) + "\n");
        for (std::size_t i = 0; i < head.runs; ++i) w.Write(PlanLine(i, plan.Next()) + "}\n");
        w.Write("# end " + std::to_string(head.runs) + "\n");
        w.Commit();
        std::fprintf(stderr, "tralvik-batch: planned %zu runs in %s\n", head.runs, planFile.c_str());
        return 0;
    } catch (const IoError& e) {
        std::fprintf(stderr, "tralvik-batch: cannot write the plan %s: %s\n", planFile.c_str(), e.text().c_str());
        return 2;
    } catch (const std::runtime_error& e) {
        return Fail(e);
    }
}

namespace {

// The runs file of one shard, opened for appending: the lines already
// there read, a line cut short dropped, the file locked against a second
// process running the same shard.
class ShardRuns {
  public:
    ShardRuns(const std::string& path, const std::string& headLine, const std::string& planId, std::size_t total)
        : path_(path), done_(total, false) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd_ < 0) throw Refused("cannot open " + path + ": " + std::strerror(errno));
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            throw Refused(path + " is being written by another process running the same shard");
        // Read a line at a time: a shard's file may be far larger than memory.
        std::string line, chunk(1 << 16, '\0');
        off_t at = 0, keep = 0; // keep: the bytes of whole, readable lines
        bool broken = false;
        for (ssize_t n; !broken && (n = ::pread(fd_, chunk.data(), chunk.size(), at)) > 0; at += n) {
            for (ssize_t i = 0; i < n && !broken; ++i) {
                if (chunk[static_cast<std::size_t>(i)] != '\n') {
                    line += chunk[static_cast<std::size_t>(i)];
                    continue;
                }
                if (!TakeLine(line, keep == 0, planId))
                    broken = true;
                else
                    keep = at + i + 1;
                line.clear();
            }
        }
        const off_t size = ::lseek(fd_, 0, SEEK_END);
        if (keep < size && ::ftruncate(fd_, keep) != 0)
            throw Refused("cannot drop the broken end of " + path + ": " + std::strerror(errno));
        if (keep == 0) Append(headLine + "\n");
    }
    ~ShardRuns() {
        if (fd_ >= 0) ::close(fd_);
    }

  private:
    // A line of the file read: false when it is not whole (cut short, or
    // garbage a lost node left): the file is run again from there.
    bool TakeLine(const std::string& line, bool head, const std::string& planId) {
        try {
            json j = json::parse(line);
            if (head) {
                if (j.value("plan_id", std::string()) != planId)
                    throw Refused(path_ + " holds the runs of another plan; give each plan an --out folder of its own");
                return true;
            }
            const std::size_t index = j.at("run").get<std::size_t>();
            if (index >= done_.size()) return false;
            done_[index] = true;
            return true;
        } catch (const Refused&) {
            throw;
        } catch (const std::exception&) {
            return false;
        }
    }

  public:
    bool Done(std::size_t index) const { return done_[index]; }
    // One line, written in one piece where the system allows.
    void Append(const std::string& line) {
        for (std::size_t at = 0; at < line.size();) {
            ssize_t n = ::write(fd_, line.data() + at, line.size() - at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ThrowIo(n < 0 ? errno : EIO, path_);
            at += static_cast<std::size_t>(n);
        }
    }
    void Sync() {
        if (::fsync(fd_) != 0) ThrowIo(errno, path_);
    }

  private:
    std::string path_;
    int fd_ = -1;
    std::vector<bool> done_;
};

} // namespace

int RunShard(const std::string& planFileGiven, std::size_t shard, std::size_t shards, const std::string& outGiven,
             int jobs, const ParseStudy& parse) {
    try {
        if (shards == 0 || shard >= shards)
            throw Refused("shard " + std::to_string(shard) + "/" + std::to_string(shards) +
                          ": the shard's number counts from 0 and is below the number of shards");
        const std::string planFile = fs::absolute(planFileGiven).string(), out = fs::absolute(outGiven).string();
        PlanReader plan(planFile);
        const PlanHead head = plan.Head();
        std::error_code ec;
        fs::create_directories(out, ec);
        if (ec || !fs::is_directory(out)) throw Refused("cannot make the folder " + out + ": " + ec.message());
        const std::string base = out + "/" + ShardName(shard, shards);
        ShardRuns runs(base + ".runs", ShardHeadLine(head, planFile, shard, shards), head.id, head.runs);
        if (fs::exists(base + ".done")) {
            std::fprintf(stderr, "tralvik-batch: %s/%s is done already\n", outGiven.c_str(),
                         ShardName(shard, shards).c_str());
            return 0;
        }
        // The plan's files are named from where it was made.
        fs::current_path(head.cwd, ec);
        if (ec) throw Refused("cannot go to the plan's folder " + head.cwd + ": " + ec.message());
        CheckInputs(head, planFile);
        StudySettings opt = SettingsOf(head, parse, planFile);
        opt.jobs = jobs;
        Fleet fleet;
        if (auto status = PrepareStudy(opt, fleet)) return *status;
        std::size_t mine = 0, before = 0;
        for (std::size_t i = shard; i < head.runs; i += shards) {
            ++mine;
            before += runs.Done(i);
        }
        std::fprintf(stderr, "tralvik-batch: %s: %zu of the plan's %zu runs, %zu done before\n",
                     ShardName(shard, shards).c_str(), mine, head.runs, before);
        const std::string root = MakeStudyFolder();
        if (root.empty()) return 2;
        int result = 0;
        std::size_t written = before;
        try {
            RunJobs(
                opt, fleet, root, head.runs,
                [&]() -> std::optional<std::pair<std::size_t, RunPlan>> {
                    while (auto next = plan.Next())
                        if (next->first % shards == shard && !runs.Done(next->first)) return next;
                    return std::nullopt;
                },
                [&](RunOutcome& o) {
                    // A run the stop reached is no result: it runs again.
                    if (StudyStopSignal() && (o.code != 0 || !o.started)) return;
                    // The plan's line again, then what the run gave.
                    std::string line = PlanLine(o.index, o.plan);
                    line += ",\"car_id\":";
                    PutPairs(line, o.carId);
                    line += ",\"car_base\":";
                    PutString(line, o.carBase);
                    line += ",\"car_name\":";
                    PutString(line, o.carName);
                    line += ",\"started\":" + std::string(o.started ? "true" : "false") +
                            ",\"status\":" + std::to_string(o.code) + ",\"out\":";
                    PutString(line, o.out);
                    line += ",\"err\":";
                    PutString(line, o.err);
                    runs.Append(line + "}\n");
                    ++written;
                },
                result);
        } catch (...) {
            fs::remove_all(root, ec);
            throw;
        }
        fs::remove_all(root, ec);
        if (int sig = StudyStopSignal()) {
            std::fprintf(stderr, "tralvik-batch: %s stopped with %zu of its %zu runs done; run it again to go on\n",
                         ShardName(shard, shards).c_str(), written, mine);
            return 128 + sig;
        }
        if (written != mine)
            throw Refused(ShardName(shard, shards) + ": only " + std::to_string(written) + " of its " +
                          std::to_string(mine) + " runs were done");
        // The marker last, whole: a shard with it needs nothing more.
        runs.Sync();
        WriteFileReplacingPath(base + ".done", ShardHeadLine(head, planFile, shard, shards) + "\n");
        std::fprintf(stderr, "tralvik-batch: %s is whole: %zu runs\n", ShardName(shard, shards).c_str(), mine);
        (void)result; // a failed run is a row of the study: the merge tells
        return 0;
    } catch (const IoError& e) {
        std::fprintf(stderr, "tralvik-batch: cannot write %s: %s\n", e.file().c_str(), e.text().c_str());
        return 2;
    } catch (const std::runtime_error& e) {
        return Fail(e);
    }
}

int MissingShards(const std::string& planFile, std::size_t shards, const std::string& out) {
    try {
        if (shards == 0) throw Refused("--shards needs the number of shards, 1 or more");
        PlanReader plan(planFile);
        std::string list;
        for (std::size_t i = 0; i < shards; ++i) {
            std::ifstream marker(out + "/" + ShardName(i, shards) + ".done", std::ios::binary);
            std::string line;
            bool done = false;
            if (marker && std::getline(marker, line)) {
                try {
                    done = json::parse(line).value("plan_id", std::string()) == plan.Head().id;
                } catch (const std::exception&) {
                }
            }
            if (!done) list += (list.empty() ? "" : " ") + std::to_string(i);
        }
        std::printf("%s\n", list.c_str());
        return 0;
    } catch (const std::runtime_error& e) {
        return Fail(e);
    }
}

namespace {

// The run's index at the start of a runs file's line, read without
// reading the rest: {"run":N,...
std::optional<std::size_t> IndexOf(const std::string& line) {
    static const std::string kStart = "{\"run\":";
    if (line.compare(0, kStart.size(), kStart) != 0) return std::nullopt;
    std::size_t n = 0, i = kStart.size();
    if (i >= line.size() || line[i] < '0' || line[i] > '9') return std::nullopt;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        if (n > (SIZE_MAX - 9) / 10) return std::nullopt;
        n = n * 10 + static_cast<std::size_t>(line[i] - '0');
    }
    return i < line.size() && line[i] == ',' ? std::optional<std::size_t>(n) : std::nullopt;
}

// A runs file read a whole line at a time (a line cut short at its end,
// where the shard was lost, is not a run).
class RunsReader {
  public:
    explicit RunsReader(const std::string& path) : path_(path), in_(path, std::ios::binary) {
        if (!in_) throw Refused("cannot read " + path + ": " + std::strerror(errno));
        std::string first;
        if (!Line(first)) throw Refused(path + " is empty: not a shard's runs");
        try {
            head_ = json::parse(first);
            if (head_.value("kind", std::string()) != kShardKind) throw std::runtime_error("not a shard's runs");
            planId_ = head_.at("plan_id").get<std::string>();
            planHead_ = ParseHead(Bytes(head_.at("head")), path + ", line 1");
            planFile_ = Bytes(head_.at("plan"));
            shard_ = head_.at("shard").get<std::size_t>();
            shards_ = head_.at("shards").get<std::size_t>();
        } catch (const Refused&) {
            throw;
        } catch (const std::exception& e) {
            throw Refused(path + ", line 1: not a shard's runs (" + e.what() + ")");
        }
    }
    // The next run's line and index; nothing at the end.
    std::optional<std::size_t> Next(std::string& line) {
        if (!Line(line)) return std::nullopt;
        ++number_;
        auto index = IndexOf(line);
        if (!index)
            throw Refused(path_ + ", line " + std::to_string(number_ + 1) + ": not a run's line");
        if (last_ && *index <= *last_)
            throw Refused(path_ + ", line " + std::to_string(number_ + 1) + ": run " + std::to_string(*index) +
                          " after run " + std::to_string(*last_) + " (a shard writes its runs in order)");
        last_ = index;
        return index;
    }
    const std::string& Path() const { return path_; }
    const std::string& PlanId() const { return planId_; }
    const PlanHead& Plan() const { return planHead_; }
    const std::string& PlanFile() const { return planFile_; }
    std::string Shard() const { return ShardName(shard_, shards_); }
    std::size_t Shards() const { return shards_; }
    std::size_t ShardNumber() const { return shard_; }

  private:
    bool Line(std::string& line) {
        if (!std::getline(in_, line)) return false;
        return !in_.eof(); // a last line without its end was cut short
    }
    std::string path_;
    std::ifstream in_;
    json head_;
    std::string planId_, planFile_;
    PlanHead planHead_;
    std::size_t shard_ = 0, shards_ = 0, number_ = 0;
    std::optional<std::size_t> last_;
};

RunOutcome OutcomeOf(const std::string& line, const std::string& where) {
    RunOutcome o;
    try {
        json j = json::parse(line);
        o.plan = ParseRun(j, o.index);
        o.carId = Pairs(j.at("car_id"));
        o.carBase = Bytes(j.at("car_base"));
        o.carName = Bytes(j.at("car_name"));
        o.started = j.at("started").get<bool>();
        o.code = j.at("status").get<int>();
        o.out = Bytes(j.at("out"));
        o.err = Bytes(j.at("err"));
    } catch (const std::exception& e) {
        throw Refused(where + ": not a run's line (" + e.what() + ")");
    }
    return o;
}

std::vector<std::string> RunsFiles(const std::vector<std::string>& dirs) {
    std::vector<std::string> files;
    for (const std::string& dir : dirs) {
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) throw Refused(dir + " is not a folder of shards");
        std::vector<std::string> here;
        for (const auto& e : fs::directory_iterator(dir, ec)) {
            const std::string name = e.path().filename().string();
            if (name.rfind("shard-", 0) == 0 && e.path().extension() == ".runs") here.push_back(e.path().string());
        }
        if (ec) throw Refused("cannot read the folder " + dir + ": " + ec.message());
        if (here.empty()) throw Refused(dir + " holds no shard's runs (shard-I-of-N.runs)");
        std::sort(here.begin(), here.end());
        files.insert(files.end(), here.begin(), here.end());
    }
    return files;
}

// Up to ten of a list, in words.
std::string Some(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < 10; ++i) text += (i ? ", " : "") + items[i];
    if (items.size() > 10) text += " and " + std::to_string(items.size() - 10) + " more";
    return text;
}

// The names of the plan's runs `indices` (sorted), from the plan where it
// can be read, else their numbers.
std::vector<std::string> RunNames(const std::string& planFile, const std::vector<std::size_t>& indices) {
    std::vector<std::string> names;
    for (std::size_t i : indices) names.push_back("run " + std::to_string(i));
    try {
        PlanReader plan(planFile);
        std::size_t k = 0;
        while (k < indices.size())
            if (auto next = plan.Next()) {
                if (next->first == indices[k]) names[k++] += " (" + next->second.name + ")";
            } else {
                break;
            }
    } catch (const std::exception&) {
    }
    return names;
}

} // namespace

int MergeShards(const std::vector<std::string>& dirs, const MergeOutputs& outputs, const ParseStudy& parse,
                const StudyPageMaker& page) {
    try {
        const std::vector<std::string> files = RunsFiles(dirs);
        // First every run's index: each planned run there once, before a
        // line is printed or a table written.
        std::vector<std::pair<std::size_t, uint32_t>> seen; // index, file
        std::optional<RunsReader> first;
        std::vector<std::string> unfinished;
        for (uint32_t f = 0; f < files.size(); ++f) {
            RunsReader reader(files[f]);
            if (!first) {
                first.emplace(files[f]);
            } else if (reader.PlanId() != first->PlanId()) {
                throw Refused(files[f] + " holds runs of another plan than " + first->Path() +
                              " (give the folders of one plan's shards)");
            }
            // Every shard of this count is looked for, also those that left no file.
            const fs::path dir = fs::path(files[f]).parent_path();
            for (std::size_t i = 0; i < reader.Shards(); ++i) {
                const std::string name = ShardName(i, reader.Shards());
                if (!fs::exists(dir / (name + ".done")) &&
                    std::find(unfinished.begin(), unfinished.end(), name) == unfinished.end())
                    unfinished.push_back(name);
            }
            std::string line;
            while (auto index = reader.Next(line)) seen.emplace_back(*index, f);
        }
        const PlanHead& head = first->Plan();
        std::sort(seen.begin(), seen.end());
        std::vector<std::size_t> missing, doubled;
        std::size_t expected = 0;
        for (std::size_t k = 0; k < seen.size(); ++k) {
            const std::size_t index = seen[k].first;
            if (index >= head.runs) throw Refused(files[seen[k].second] + ": run " + std::to_string(index) +
                                                  " is not in the plan of " + std::to_string(head.runs) + " runs");
            if (k && seen[k - 1].first == index) {
                if (doubled.empty() || doubled.back() != index) doubled.push_back(index);
                continue;
            }
            for (; expected < index; ++expected) missing.push_back(expected);
            expected = index + 1;
        }
        for (; expected < head.runs; ++expected) missing.push_back(expected);
        if (!missing.empty() || !doubled.empty()) {
            const std::string plan = first->PlanFile();
            if (!missing.empty())
                std::fprintf(stderr, "tralvik-batch: %zu of the plan's %zu runs are missing: %s\n", missing.size(),
                             head.runs, Some(RunNames(plan, missing)).c_str());
            if (!doubled.empty())
                std::fprintf(stderr, "tralvik-batch: %zu runs are there more than once (shards of two "
                                     "different counts in one folder?): %s\n",
                             doubled.size(), Some(RunNames(plan, doubled)).c_str());
            if (!unfinished.empty())
                std::fprintf(stderr, "tralvik-batch: shards not finished: %s; run them again "
                                     "(tools/slurm/resubmit-study.sh)\n",
                             Some(unfinished).c_str());
            return 2;
        }
        StudySettings opt = SettingsOf(head, parse, first->PlanFile());
        opt.csv = outputs.csv;
        opt.longCsv = outputs.longCsv;
        opt.report = outputs.report;
        opt.charts = outputs.charts;
        opt.json = outputs.json;
        const std::string root = MakeStudyFolder();
        if (root.empty()) return 2;
        int result = 0;
        try {
            StudyOutput output(opt, head.runs, root + "/rows", page);
            // The files' runs in the study's order: each file is in order.
            std::vector<std::unique_ptr<RunsReader>> readers;
            std::vector<std::string> lines(files.size());
            std::vector<std::optional<std::size_t>> at(files.size());
            for (std::size_t f = 0; f < files.size(); ++f) {
                readers.push_back(std::make_unique<RunsReader>(files[f]));
                at[f] = readers[f]->Next(lines[f]);
            }
            for (std::size_t index = 0; index < head.runs; ++index) {
                std::size_t f = 0;
                while (f < files.size() && at[f] != index) ++f;
                if (f == files.size()) throw Refused("run " + std::to_string(index) + " went missing while merging");
                RunOutcome o = OutcomeOf(lines[f], files[f]);
                if (o.index != index) throw Refused(files[f] + ": run " + std::to_string(index) + " changed while merging");
                if (o.code != 0 && result == 0) result = o.code;
                output.Add(o);
                at[f] = readers[f]->Next(lines[f]);
            }
            output.Finish(result);
        } catch (...) {
            std::error_code ec;
            fs::remove_all(root, ec);
            throw;
        }
        std::error_code ec;
        fs::remove_all(root, ec);
        return result;
    } catch (const std::runtime_error& e) {
        return Fail(e);
    }
}

} // namespace tralvik::run
