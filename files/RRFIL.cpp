#include "files/RRFIL.h"

#include <cerrno>
#include <charconv>
#include <optional>

#include "core/paths.h"
#include "files/ResultRow.h"
#include "files/rowcut.h"

namespace tralvik {

const char* const kResultHeader = "1 Varvt rpm 2 Mom  Nm  3  U  V    4  P  kW  "
                                  "5 Energi   6 Acc m/s2 7 Broms N  8 Iaba  A  9 Pla  kW  "
                                  "10 IC v.gr 11 dv m/s  12 v  m/s  13 vb  m/s 14 ltot  m  "
                                  "15 ttot  s";
const char* const kResultHeaderP = "  1 Pelm kW  2 nel rpm  3 mel Nm   4 Pgen kW  "
                                   "5 Pbroms br 6 Preg kW 7 Ppic kW  8 nic rpm  "
                                   "9 mic Nm   10 Ila  A 11 CO g   "
                                   " 12 NOx g   13 HC g    14 vb-v m/s 15 ttot  s";
const char* const kResultRule = "---------- ---------- ---------- ---------- "
                                "---------- ---------- ---------- ---------- ---------- "
                                "---------- ---------- ---------- ---------- ---------- "
                                "----------";

RunEnd RunEndReason(const Sim& s) {
    if (s.Mod == 100) return RunEnd::Mode100;
    if (s.ttot >= s.Fulltid) return RunEnd::Fulltid;
    if (s.ltot >= s.Fullangd) return RunEnd::Fullangd;
    return RunEnd::None;
}

std::string ResultField(long double value, int decimals) {
    if (value == 0) value = 0; // a zero carries no sign
    // Large enough for any long double made from a double in fixed notation.
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    std::string digits = r.ec == std::errc{} ? std::string(buf, r.ptr) : std::string("*");
    std::string field = " ";
    if (digits.size() < 10) field.append(10 - digits.size(), ' ');
    return field + digits;
}

namespace detail {

void PutResultText(std::FILE*& f, const std::string& text, const Text& name) {
    PutResultText(f, text.data(), text.size(), name);
}

void PutResultText(std::FILE*& f, const char* text, std::size_t size, const Text& name) {
    errno = 0;
    std::fwrite(text, 1, size, f);
    if (std::ferror(f)) {
        int err = errno ? errno : EIO;
        CutToLastLine(f); // no half row is left behind
        std::fclose(f);
        f = nullptr;
        ThrowIo(err, Cp1252ToUtf8(name));
    }
}

} // namespace detail

// Creates one result file and writes its header and rule.
static void CreateResultFile(std::FILE*& f, char& flag, bool& failed, Text& failedName,
                             const Text& name, const char* header) {
    if (failed && failedName == name) return; // already reported
    if (f) {
        // Still open from before its flag was set back (a snapshot load):
        // the new run starts a new file.
        std::fclose(f);
        f = nullptr;
    }
    flag = 'K';
    try {
        f = OpenOrThrow(name, "w+b"); // read back only to cut a half row after a failed write
        detail::PutResultText(f, std::string(header) + "\r\n" + kResultRule + "\r\n", name);
        failed = false;
    } catch (const IoError&) {
        flag = '-';
        failed = true;
        failedName = name;
        throw;
    }
}

void OpenResultFiles(Sim& s) {
    if (s.Spara.size() > 0 && s.Spara[0] == '1' && s.Resstat == '-')
        CreateResultFile(s.results.result, s.Resstat, s.results.failed, s.results.failedName,
                         s.Tresultat, kResultHeader);
    if (s.Spara.size() > 1 && s.Spara[1] == '1' && s.Resstatp == '-')
        CreateResultFile(s.results.resultp, s.Resstatp, s.results.failedP, s.results.failedNameP,
                         s.Tresultatp, kResultHeaderP);
}

void WriteResultRow(Sim& s) {
    using L = long double;
    s.Energi = static_cast<double>(static_cast<L>(s.Energi) + static_cast<L>(s.U) * s.Iic * s.Dt);
    if (!s.results.result) return;
    ResultRow row;
    row.Field(s.nic, 0);
    row.Field(s.mic, 0);
    row.Field(s.U, 0);
    row.Field(0.001L * s.Ppic, 0);
    row.Field(s.Energi, 1);
    row.Field((static_cast<L>(s.v) - s.vf) / s.Dt, 2);
    row.Field(s.Broms, 0);
    row.Field(s.Iaba, 0);
    row.Field(static_cast<L>(s.Ila) * s.U / 1000, 1);
    row.Field(s.ICvgr, 2);
    row.Field(static_cast<L>(s.vb) - s.v, 1);
    row.Field(s.v, 1);
    row.Field(s.vb, 1);
    row.Field(s.ltot, 0);
    row.Field(s.ttot, 2);
    row.End();
    detail::PutResultText(s.results.result, row.data(), row.size(), s.Tresultat);
}

void detail::FinishResultFile(std::FILE*& f, const Text& name, std::optional<IoError>& failure) {
    if (!f) return;
    errno = 0;
    bool bad = std::fflush(f) != 0 || std::ferror(f);
    int err = errno;
    if (bad) CutToLastLine(f);
    if (std::fclose(f) != 0 && !bad) {
        bad = true;
        err = errno;
    }
    f = nullptr;
    if (bad && !failure) failure.emplace(IoErrorText(err ? err : EIO), Cp1252ToUtf8(name));
}

bool EndOfRunTest(Sim& s) {
    if (!RunHasEnded(s)) return false;
    std::optional<IoError> failure;
    if (s.Resstat == 'K') {
        s.Resstat = '-';
        detail::FinishResultFile(s.results.result, s.Tresultat, failure);
    }
    if (s.Resstatp == 'K') {
        s.Resstatp = '-';
        detail::FinishResultFile(s.results.resultp, s.Tresultatp, failure);
    }
    if (failure) throw *failure;
    return true;
}

} // namespace tralvik
