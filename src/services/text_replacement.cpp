#include "services/text_replacement.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

// The content is handled as one buffer rather than line by line: a match
// never holds a terminator, so searching the whole buffer finds exactly the
// matches that searching each line would, and the bytes between matches
// are copied in bulk, with only lone CRs and LFs rewritten on the way.

namespace {

constexpr char kCrLf[] = "\r\n";

bool is_terminator(char c) { return c == '\r' || c == '\n'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Appends content[from, to) with every terminator written as CR LF: a CR LF
// pair is kept, a lone CR or lone LF becomes the pair. A CR just before `to`
// pairs with an LF at `to`, which is then taken too. Returns the position
// after the last byte taken. An LF at `from` counts as lone: callers never
// start between the two bytes of a pair.
std::size_t append_normalised(std::string_view content, std::size_t from, std::size_t to, std::string& out) {
    const char* const data = content.data();
    std::size_t copied = from;  // bytes before this one are in `out`
    std::size_t at = from;

    // Rewrites the terminator at `at` when it is a lone one; steps over it.
    const auto take_terminator = [&] {
        if (data[at] == '\r' && at + 1 < content.size() && data[at + 1] == '\n') {
            at += 2;  // a pair: stays part of the bulk copy
            return;
        }
        out.append(data + copied, at - copied);
        out.append(kCrLf, 2);
        copied = ++at;
    };
    const auto take_bytes_up_to = [&](std::size_t end) {
        while (at < end) {
            if (is_terminator(data[at])) {
                take_terminator();
            } else {
                ++at;
            }
        }
    };

    // Blocks that hold no lone terminator are passed over whole. The test
    // has a fixed trip count and no branch, so the compiler turns it into
    // vector compares; a block that fails it is taken byte by byte.
    constexpr std::size_t kBlock = 64;
    while (at + kBlock < to) {
        unsigned lone = static_cast<unsigned>(data[at] == '\n');
        for (std::size_t k = 0; k < kBlock; ++k) {
            lone |= static_cast<unsigned>(data[at + k] == '\r') ^ static_cast<unsigned>(data[at + k + 1] == '\n');
        }
        if (lone == 0) {
            // A pair across the block's end is taken whole.
            at += kBlock + static_cast<std::size_t>(data[at + kBlock - 1] == '\r');
        } else {
            take_bytes_up_to(at + kBlock);
        }
    }
    take_bytes_up_to(to);
    out.append(data + copied, at - copied);
    return at;
}

class LineReplacement {
public:
    LineReplacement(std::string_view search, std::string_view replacement, Occurrence rule)
        : search_(search),
          replacement_(replacement),
          rule_(rule),
          searchable_(!search.empty() && search.find_first_of(kCrLf) == std::string_view::npos),
          searcher_(search_.begin(), search_.end()) {}
    LineReplacement(const LineReplacement&) = delete;
    LineReplacement& operator=(const LineReplacement&) = delete;

    // Bytes that must stay unread at the end of a piece that more content
    // follows: enough to finish a match, see the byte after it (digit rule)
    // and see whether a CR is followed by an LF.
    std::size_t held_back() const { return search_.size() + 1; }

    // Appends the result for the beginning of `content` to `out` and returns
    // how many bytes of it were used. With `last`, that is all of it; else
    // the scan stops where it would need bytes beyond the piece, and the
    // unused rest must come again in front of the next piece.
    std::size_t edit(std::string_view content, bool last, std::string& out) const {
        const std::size_t size = content.size();
        if (!last && size <= held_back()) {
            return 0;
        }
        // No match starts at or after `limit`; the copy ends there.
        const std::size_t limit = last ? size : size - held_back();
        std::size_t done = 0;
        if (searchable_) {
            const auto begin = content.begin();
            const auto search_end = last ? content.end() : begin + static_cast<std::ptrdiff_t>(size - 2);
            std::size_t from = 0;
            while (from < limit) {
                const auto found = searcher_(begin + static_cast<std::ptrdiff_t>(from), search_end).first;
                const auto at = static_cast<std::size_t>(found - begin);
                if (found == search_end || at >= limit) {
                    break;
                }
                const std::size_t after = at + search_.size();
                if (rule_ == Occurrence::NotBeforeDigit && after < size && is_digit(content[after])) {
                    from = at + 1;
                    continue;
                }
                append_normalised(content, done, at, out);
                out.append(replacement_);
                done = from = after;
            }
        }
        if (done < limit) {
            done = append_normalised(content, done, limit, out);
        }
        if (!last) {
            return done;
        }
        if (size != 0 && !is_terminator(content[size - 1])) {
            out.append(kCrLf, 2);
        }
        return size;
    }

private:
    const std::string search_;
    const std::string replacement_;
    const Occurrence rule_;
    const bool searchable_;
    const std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher_;
};

}  // namespace

std::string replace_in_lines(std::string_view content, std::string_view search, std::string_view replacement,
                             Occurrence rule) {
    std::string result;
    result.reserve(content.size() + content.size() / 16 + 2);
    LineReplacement(search, replacement, rule).edit(content, true, result);
    return result;
}

void replace_in_lines_streamed(const ContentReader& read, const ResultWriter& write, std::string_view search,
                               std::string_view replacement, Occurrence rule, std::size_t chunk) {
    const LineReplacement edit(search, replacement, rule);
    std::vector<char> buffer(std::max<std::size_t>(chunk, 1) + edit.held_back());
    std::string out;
    out.reserve(buffer.size() + buffer.size() / 4);
    std::size_t kept = 0;
    bool last = false;
    while (!last) {
        while (kept < buffer.size()) {
            const std::size_t got = read(buffer.data() + kept, buffer.size() - kept);
            if (got == 0) {
                last = true;
                break;
            }
            kept += std::min(got, buffer.size() - kept);
        }
        // A full buffer is longer than what is held back, so each round uses some.
        const std::size_t used = edit.edit(std::string_view(buffer.data(), kept), last, out);
        if (!out.empty()) {
            write(out);
            out.clear();
        }
        std::memmove(buffer.data(), buffer.data() + used, kept - used);
        kept -= used;
    }
}
