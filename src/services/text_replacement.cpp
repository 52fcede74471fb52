#include "services/text_replacement.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

// Where the line that starts at `from` ends (index of its terminator, or
// the content's size when it has none).
std::size_t line_end(std::string_view content, std::size_t from) {
    const char* begin = content.data() + from;
    const std::size_t rest = content.size() - from;
    const void* lf = std::memchr(begin, '\n', rest);
    const std::size_t lf_at = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : rest;
    const void* cr = std::memchr(begin, '\r', lf_at);
    const std::size_t cr_at = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - begin) : lf_at;
    return from + std::min(lf_at, cr_at);
}

// Length of the terminator at `at` (0 at the end of the content).
std::size_t terminator_length(std::string_view content, std::size_t at) {
    if (at >= content.size()) {
        return 0;
    }
    if (content[at] == '\r' && at + 1 < content.size() && content[at + 1] == '\n') {
        return 2;
    }
    return 1;
}

}  // namespace

std::string replace_in_lines(std::string_view content, std::string_view search, std::string_view replacement,
                             Occurrence rule) {
    std::string result;
    result.reserve(content.size() + content.size() / 16 + 2);
    const std::boyer_moore_horspool_searcher<std::string_view::const_iterator> searcher(search.begin(),
                                                                                        search.end());
    std::size_t position = 0;
    while (position < content.size()) {
        const std::size_t end = line_end(content, position);
        const std::string_view line = content.substr(position, end - position);
        if (search.empty() || line.size() < search.size()) {
            result.append(line);
        } else {
            auto cursor = line.begin();
            for (;;) {
                const auto match = std::search(cursor, line.end(), searcher);
                if (match == line.end()) {
                    break;
                }
                const auto after = match + static_cast<std::ptrdiff_t>(search.size());
                if (rule == Occurrence::NotBeforeDigit && after != line.end() && *after >= '0' && *after <= '9') {
                    result.append(cursor, match + 1);
                    cursor = match + 1;
                    continue;
                }
                result.append(cursor, match);
                result.append(replacement);
                cursor = match + static_cast<std::ptrdiff_t>(search.size());
            }
            result.append(cursor, line.end());
        }
        result.append("\r\n");
        position = end + terminator_length(content, end);
    }
    return result;
}
