// Line-wise replacement on a 64 MiB config-like file: our core, streamed
// as the tool runs it, and the former whole-file way, against sed doing the
// same replacement on the same file, read and write included. Lines end in
// CR LF, so all outputs must be identical byte for byte, which is checked.
// The cost of touching fresh memory is printed beside them: it explains
// why the whole-file way is slow on some machines and fast on others.
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

#include <unistd.h>

#include "services/text_replacement.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kTargetSize = 64u << 20;
constexpr int kRounds = 5;

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

void write_file(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

// What the tool does: the file streamed through the replacement, read and
// written in pieces through reused buffers.
void streamed(const fs::path& input, const fs::path& output) {
    std::FILE* in = std::fopen(input.c_str(), "rb");
    std::FILE* out = std::fopen(output.c_str(), "wb");
    if (in == nullptr || out == nullptr) {
        std::fprintf(stderr, "cannot open the bench files\n");
        std::exit(1);
    }
    replace_in_lines_streamed([in](char* buffer, std::size_t capacity) { return std::fread(buffer, 1, capacity, in); },
                              [out](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), out); },
                              ";extension=intl", "extension=intl");
    std::fclose(in);
    std::fclose(out);
}

// The former way: the whole file in memory, then the whole result.
void whole_file(const fs::path& input, const fs::path& output) {
    write_file(output, replace_in_lines(read_file(input), ";extension=intl", "extension=intl"));
}

// Writing into memory the process has not touched before costs a page
// fault per page; on some virtual machines that, not the work, dominates.
double first_touch_seconds(std::size_t size) {
    const auto start = Clock::now();
    std::vector<char> fresh(size, '\1');
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return fresh[size / 2] == 1 ? seconds : -1.0;
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
    // A folder of this run's own: several people may run the bench at once.
    const fs::path folder = fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) /
                            ("zunaveri-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path input = folder / "php.ini";
    const fs::path ours_output = folder / "php.ours.ini";
    const fs::path whole_output = folder / "php.whole.ini";
    const fs::path sed_output = folder / "php.sed.ini";
    write_file(input, config_like_content());
    std::printf("file: %s, %.1f MiB\n", input.string().c_str(), static_cast<double>(fs::file_size(input)) / (1 << 20));

    const std::string sed_command = "LC_ALL=C sed 's/;extension=intl/extension=intl/g' '" + input.string() + "' > '" +
                                    sed_output.string() + "'";
    std::vector<double> ours;
    std::vector<double> whole;
    std::vector<double> sed;
    std::vector<double> touch;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        streamed(input, ours_output);
        ours.push_back(seconds_since(start));

        start = Clock::now();
        if (std::system(sed_command.c_str()) != 0) {
            std::fprintf(stderr, "sed failed\n");
            return 1;
        }
        sed.push_back(seconds_since(start));

        start = Clock::now();
        whole_file(input, whole_output);
        whole.push_back(seconds_since(start));

        touch.push_back(first_touch_seconds(kTargetSize));
    }

    const std::string expected = read_file(sed_output);
    const bool same = read_file(ours_output) == expected && read_file(whole_output) == expected;
    std::printf("outputs identical: %s\n", same ? "yes" : "NO");
    std::printf("sed (baseline):         median %.3f s over %d runs\n", median(sed), kRounds);
    std::printf("streamed (the tool):    median %.3f s over %d runs (read + replace + write)\n", median(ours), kRounds);
    std::printf("whole file in memory:   median %.3f s over %d runs (read + replace + write)\n", median(whole),
                kRounds);
    std::printf("first touch of %d MiB:  median %.3f s\n", static_cast<int>(kTargetSize >> 20), median(touch));
    std::printf("sed / streamed:         %.2f times sed's speed\n", median(sed) / median(ours));
    fs::remove_all(folder);
    return same ? 0 : 1;
}
