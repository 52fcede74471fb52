// Line-wise replacement over the raw bytes of a text file. The content is
// never decoded: only the matched occurrences and the line terminators
// change, so UTF-8 and bytes outside any code page come back as they were.
#pragma once

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
// matches nothing.
//
// With `Occurrence::NotBeforeDigit`, an occurrence directly followed by a
// digit is left alone (the scan goes on one byte later), so that replacing
// "Listen 80" by "Listen 8090" is safe to apply twice.
enum class Occurrence { Anywhere, NotBeforeDigit };

std::string replace_in_lines(std::string_view content, std::string_view search, std::string_view replacement,
                             Occurrence rule = Occurrence::Anywhere);
