// Line-wise replacement on arbitrary bytes, against a plain model.
//
// Input: byte 0 gives the search length (low 7 bits, modulo 10) and the
// rule (high bit), byte 1 the replacement length (low 4 bits) and the
// streamed edit's chunk size (high 4 bits, plus one); then come the search,
// the replacement, and the rest is the content.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "services/text_replacement.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The content's lines, without their terminators: CR LF, a lone CR and a
// lone LF each end one line; a last line may have no terminator.
std::vector<std::string> model_lines(std::string_view content) {
    std::vector<std::string> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
                ++i;
            }
        } else {
            current += c;
            open = true;
        }
    }
    if (open) {
        lines.push_back(current);
    }
    return lines;
}

// Replacement in one line, one byte at a time; counts the matches it replaced.
std::string model_replace(const std::string& line, std::string_view search, std::string_view replacement,
                          Occurrence rule, std::size_t& matches) {
    std::string out;
    std::size_t i = 0;
    while (i < line.size()) {
        const bool match = !search.empty() && line.compare(i, search.size(), search) == 0 &&
                           line.size() - i >= search.size();
        const std::size_t after = i + search.size();
        if (match && !(rule == Occurrence::NotBeforeDigit && after < line.size() && is_digit(line[after]))) {
            out += replacement;
            i = after;
            ++matches;
        } else {
            out += line[i];
            ++i;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t search_length = (data[0] & 0x7F) % 10;
    const Occurrence rule = (data[0] & 0x80) != 0 ? Occurrence::NotBeforeDigit : Occurrence::Anywhere;
    const std::size_t replacement_length = data[1] % 16;
    if (size < 2 + search_length + replacement_length) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view search = bytes.substr(2, search_length);
    const std::string_view replacement = bytes.substr(2 + search_length, replacement_length);
    const std::string_view content = bytes.substr(2 + search_length + replacement_length);

    const std::string result = replace_in_lines(content, search, replacement, rule);

    // Same bytes as the model: each line replaced, then CR LF.
    const std::vector<std::string> lines = model_lines(content);
    std::string expected;
    std::string normalised;  // the content with CR LF after each line, nothing replaced
    std::size_t matches = 0;
    for (const std::string& line : lines) {
        expected += model_replace(line, search, replacement, rule, matches);
        expected += "\r\n";
        normalised += line;
        normalised += "\r\n";
    }
    FUZZ_CHECK(result == expected);

    // Streamed in small chunks, read in pieces of changing size: the same bytes.
    const std::size_t chunk = (data[1] >> 4) + 1u;
    std::size_t offered = 0;
    std::size_t reads = 0;
    std::string streamed;
    replace_in_lines_streamed(
        [&](char* buffer, std::size_t capacity) {
            const std::size_t piece = std::min({capacity, content.size() - offered, 1 + reads++ % 7});
            std::copy_n(content.data() + offered, piece, buffer);
            offered += piece;
            return piece;
        },
        [&](std::string_view piece) { streamed.append(piece); }, search, replacement, rule, chunk);
    FUZZ_CHECK(streamed == expected);

    // No byte lost or added outside the matches.
    FUZZ_CHECK(result.size() + matches * search.size() == normalised.size() + matches * replacement.size());
    FUZZ_CHECK(replace_in_lines(content, search, search, rule) == normalised);
    FUZZ_CHECK(replace_in_lines(content, "", replacement, rule) == normalised);

    // Every line ends in CR LF, and there is no other CR or LF (as long as
    // the replacement brings none).
    FUZZ_CHECK(result.empty() == content.empty());
    if (replacement.find_first_of("\r\n") == std::string_view::npos) {
        std::size_t terminators = 0;
        for (std::size_t i = 0; i < result.size(); ++i) {
            if (result[i] == '\r') {
                FUZZ_CHECK(i + 1 < result.size() && result[i + 1] == '\n');
                ++terminators;
            } else if (result[i] == '\n') {
                FUZZ_CHECK(i > 0 && result[i - 1] == '\r');
            }
        }
        FUZZ_CHECK(terminators == lines.size());
        FUZZ_CHECK(result.empty() || result.compare(result.size() - 2, 2, "\r\n") == 0);
        // Already normalised content gives the same result.
        FUZZ_CHECK(replace_in_lines(normalised, search, replacement, rule) == result);
    }
    return 0;
}
