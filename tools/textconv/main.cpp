// textconv: UTF-8 text to the simulator's text form, Windows-1252 with CR LF.
#include <cstdio>
#include <exception>
#include <string>

#include "formats/textout.h"

using namespace tralvik::formats;

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::puts("textconv - UTF-8 text file to Windows-1252 with CR LF line ends\n\n"
                  "Usage: textconv IN.txt OUT.txt\n"
                  "Every line of IN (LF or CR LF ends) is written with CR LF; a character\n"
                  "that Windows-1252 cannot hold is an error.");
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: textconv IN.txt OUT.txt\n");
        return 2;
    }
    try {
        const std::string in = ReadBytes(argv[1]);
        CrlfFile out;
        std::string line;
        for (std::size_t i = 0; i <= in.size(); ++i) {
            if (i == in.size() || in[i] == '\n') {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (i < in.size() || !line.empty()) out.Line(Utf8To1252(line));
                line.clear();
            } else {
                line += in[i];
            }
        }
        out.Write(argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "textconv: %s\n", e.what());
        return 1;
    }
    return 0;
}
