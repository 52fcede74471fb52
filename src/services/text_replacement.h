// Line-wise replacement over the raw bytes of a text file. The content is
// never decoded: only the matched occurrences and the line terminators
// change, so UTF-8 and bytes outside any code page come back as they were.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// The new content of a file: for each line, in order, the line with every
// occurrence of `search` replaced by `replacement`, followed by CR LF.
//
// A lone CR, a lone LF and a CR LF pair each end one line; a last line
// without a terminator still gets CR LF; an empty content has no line and
// gives an empty result. Matching is byte for byte (case-sensitive), left
// to right; the scan resumes after each match, so occurrences never
// overlap and inserted text is never searched again. An empty `search`
// matches nothing, and neither does one holding a CR or an LF (no line
// holds a terminator).
//
// With `Occurrence::NotBeforeDigit`, an occurrence directly followed by a
// digit is left alone (the scan goes on one byte later), so that replacing
// "Listen 80" by "Listen 8090" is safe to apply twice.
enum class Occurrence { Anywhere, NotBeforeDigit };

std::string replace_in_lines(std::string_view content, std::string_view search, std::string_view replacement,
                             Occurrence rule = Occurrence::Anywhere);

// Fills the buffer with up to `capacity` bytes of the content and says how
// many it gave; 0 only at the end of the content.
using ContentReader = std::function<std::size_t(char* buffer, std::size_t capacity)>;
// Takes the next piece of the result.
using ResultWriter = std::function<void(std::string_view piece)>;

constexpr std::size_t kReplacementChunk = 256u << 10;

// The same edit as replace_in_lines, with the content read and the result
// written piece by piece through two buffers of about `chunk` bytes that
// are reused throughout: a file of any size costs the same little memory,
// and what is read or written is still in the processor's cache. The
// pieces written, joined, are exactly replace_in_lines of the whole content.
// Whatever `read` or `write` throws passes through.
void replace_in_lines_streamed(const ContentReader& read, const ResultWriter& write, std::string_view search,
                               std::string_view replacement, Occurrence rule = Occurrence::Anywhere,
                               std::size_t chunk = kReplacementChunk);
