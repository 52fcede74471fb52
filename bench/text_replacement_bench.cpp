// Line-wise replacement on a 64 MiB config-like file: our core (with the
// file read and written through standard streams) against sed doing the
// same replacement on the same file. Lines end in CR LF, so both outputs
// must be identical byte for byte, which is checked.
//
//   bench_text_replacement [work folder]   (default: the system temp folder)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "services/text_replacement.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kTargetSize = 64u << 20;
constexpr int kRounds = 3;

// php.ini-like text: comments, sections, settings, and the extension lines
// the installer edits, one in every 40 lines or so.
std::string config_like_content() {
    static const char* const kLines[] = {
        "; About php.ini   ; This file controls many aspects of PHP's behavior.",
        "[PHP]",
        "engine = On",
        "short_open_tag = Off",
        "precision = 14",
        "output_buffering = 4096",
        ";zlib.output_compression_level = -1",
        "memory_limit = 512M",
        "error_reporting = E_ALL & ~E_DEPRECATED & ~E_STRICT",
        "",
        "; Dynamic Extensions ;",
        ";extension=bz2",
        "extension=curl",
        ";extension=ffi",
        "date.timezone = America/Sao_Paulo   ; S\xC3\xA3o Paulo",
        "upload_max_filesize = 40M",
        "mysqli.default_port = 3306",
        "session.save_path = \"C:\\xampp\\tmp\"",
        "doc_root =",
        "include_path = \".;C:\\xampp\\php\\PEAR\"",
    };
    std::string content;
    content.reserve(kTargetSize + 256);
    std::size_t line = 0;
    while (content.size() < kTargetSize) {
        if (line % 40 == 7) {
            content += ";extension=intl";
        } else if (line % 40 == 23) {
            content += ";extension=interbase ; comment with ;extension=intl inside";
        } else {
            content += kLines[line % (sizeof(kLines) / sizeof(kLines[0]))];
        }
        content += "\r\n";
        ++line;
    }
    return content;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string content(static_cast<std::size_t>(fs::file_size(path)), '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    return content;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) / "zunaveri-bench";
    fs::create_directories(folder);
    const fs::path input = folder / "php.ini";
    const fs::path ours_output = folder / "php.ours.ini";
    const fs::path sed_output = folder / "php.sed.ini";
    {
        std::ofstream out(input, std::ios::binary);
        const std::string content = config_like_content();
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    std::printf("file: %s, %.1f MiB\n", input.string().c_str(), static_cast<double>(fs::file_size(input)) / (1 << 20));

    const std::string sed_command = "LC_ALL=C sed 's/;extension=intl/extension=intl/g' '" + input.string() + "' > '" +
                                    sed_output.string() + "'";
    std::vector<double> ours;
    std::vector<double> sed;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        {
            const std::string content = read_file(input);
            const std::string edited = replace_in_lines(content, ";extension=intl", "extension=intl");
            std::ofstream out(ours_output, std::ios::binary);
            out.write(edited.data(), static_cast<std::streamsize>(edited.size()));
        }
        ours.push_back(seconds_since(start));

        start = Clock::now();
        if (std::system(sed_command.c_str()) != 0) {
            std::fprintf(stderr, "sed failed\n");
            return 1;
        }
        sed.push_back(seconds_since(start));
    }

    const bool same = read_file(ours_output) == read_file(sed_output);
    std::printf("outputs identical: %s\n", same ? "yes" : "NO");
    std::printf("sed (baseline):      median %.3f s over %d runs\n", median(sed), kRounds);
    std::printf("replace_in_lines:    median %.3f s over %d runs (read + replace + write)\n", median(ours), kRounds);
    std::printf("ours / sed:          %.2f\n", median(ours) / median(sed));
    fs::remove_all(folder);
    return same ? 0 : 1;
}
