#include "services/text_replacement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// A plain second reading of the rules, to compare against on random input:
// split into lines by hand, replace with std::string::find, join with CR LF.
std::string reference(const std::string& content, const std::string& search, const std::string& replacement) {
    std::vector<std::string> lines;
    std::string line;
    bool open_line = false;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            open_line = false;
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += c;
            open_line = true;
        }
    }
    if (open_line) {
        lines.push_back(line);
    }
    std::string out;
    for (std::string& each : lines) {
        if (!search.empty()) {
            std::size_t at = 0;
            while ((at = each.find(search, at)) != std::string::npos) {
                each.replace(at, search.size(), replacement);
                at += replacement.size();
            }
        }
        out += each + "\r\n";
    }
    return out;
}

// The streamed edit with chunks of `chunk` bytes, read three bytes at most at a time.
std::string streamed(const std::string& content, const std::string& search, const std::string& replacement,
                     std::size_t chunk) {
    std::size_t offered = 0;
    std::string out;
    replace_in_lines_streamed(
        [&](char* buffer, std::size_t capacity) {
            const std::size_t piece = std::min({capacity, content.size() - offered, std::size_t{3}});
            content.copy(buffer, piece, offered);
            offered += piece;
            return piece;
        },
        [&](std::string_view piece) { out.append(piece); }, search, replacement, Occurrence::Anywhere, chunk);
    return out;
}

}  // namespace

TEST(TextReplacement, EmptyContentStaysEmpty) {
    EXPECT_EQ(replace_in_lines("", "a", "b"), "");
    EXPECT_EQ(replace_in_lines("", "", ""), "");
}

TEST(TextReplacement, EveryTerminatorEndsALineAndBecomesCrLf) {
    EXPECT_EQ(replace_in_lines("last line", "x", "y"), "last line\r\n");
    EXPECT_EQ(replace_in_lines("a\nb\rc\r\nd", "x", "y"), "a\r\nb\r\nc\r\nd\r\n");
    // LF CR is two terminators (an empty line between), CR CR LF too.
    EXPECT_EQ(replace_in_lines("a\n\rb", "x", "y"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(replace_in_lines("a\r\r\nb", "x", "y"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(replace_in_lines("\n\n", "x", "y"), "\r\n\r\n");
    EXPECT_EQ(replace_in_lines("a\r", "x", "y"), "a\r\n");
}

TEST(TextReplacement, EveryOccurrenceLeftToRightWithoutOverlap) {
    EXPECT_EQ(replace_in_lines(";extension=intl ;extension=intl", ";extension=intl", "extension=intl"),
              "extension=intl extension=intl\r\n");
    EXPECT_EQ(replace_in_lines("aaaa", "aa", "b"), "bb\r\n");
    EXPECT_EQ(replace_in_lines("aaa", "aa", "b"), "ba\r\n");
    // Inserted text is not searched again.
    EXPECT_EQ(replace_in_lines("ab", "a", "aa"), "aab\r\n");
    EXPECT_EQ(replace_in_lines("xyz", "y", ""), "xz\r\n");
}

TEST(TextReplacement, MatchIsCaseSensitive) {
    EXPECT_EQ(replace_in_lines("listen 80\r\nLISTEN 80\r\nListen 80\r\n", "Listen 80", "Listen 8090"),
              "listen 80\r\nLISTEN 80\r\nListen 8090\r\n");
}

TEST(TextReplacement, SearchInsideItsReplacementEditsAgainOnASecondRun) {
    const std::string once = replace_in_lines("Listen 80\n", "Listen 80", "Listen 8090");
    EXPECT_EQ(once, "Listen 8090\r\n");
    EXPECT_EQ(replace_in_lines(once, "Listen 80", "Listen 8090"), "Listen 809090\r\n");
}

TEST(TextReplacement, PortEditSkipsOccurrencesFollowedByADigit) {
    const std::string conf = "#Listen 12.34.56.78:80\nListen 80\nListen 8080\nListen 80 # fim\n";
    const std::string once = replace_in_lines(conf, "Listen 80", "Listen 8090", Occurrence::NotBeforeDigit);
    EXPECT_EQ(once, "#Listen 12.34.56.78:80\r\nListen 8090\r\nListen 8080\r\nListen 8090 # fim\r\n");
    EXPECT_EQ(replace_in_lines(once, "Listen 80", "Listen 8090", Occurrence::NotBeforeDigit), once);
    // A rejected occurrence does not hide one that starts inside it.
    EXPECT_EQ(replace_in_lines("aa1 aa", "aa", "b", Occurrence::NotBeforeDigit), "aa1 b\r\n");
    EXPECT_EQ(replace_in_lines("aaaa1", "aa", "b", Occurrence::NotBeforeDigit), "baa1\r\n");
}

TEST(TextReplacement, EmptySearchOrNoMatchOnlyNormalisesTerminators) {
    EXPECT_EQ(replace_in_lines("a\nb", "", "zzz"), "a\r\nb\r\n");
    EXPECT_EQ(replace_in_lines("a\nb", "nowhere", "zzz"), "a\r\nb\r\n");
}

TEST(TextReplacement, SearchNeverSpansALineEnd) {
    EXPECT_EQ(replace_in_lines("ab\ncd", "b\nc", "X"), "ab\r\ncd\r\n");
    EXPECT_EQ(replace_in_lines("ab\r\ncd", "b\r\nc", "X"), "ab\r\ncd\r\n");
}

TEST(TextReplacement, BytesOutsideAsciiSurvive) {
    // UTF-8 text, Latin-1 bytes, a NUL and 0xFF around the match.
    const std::string utf8 = "APP_NAME=\"Padaria São João\"\n#IP_DO_SERVIDOR\n";
    EXPECT_EQ(replace_in_lines(utf8, "#IP_DO_SERVIDOR", "app.baseURL = 'http://10.0.0.5:8090/'"),
              "APP_NAME=\"Padaria São João\"\r\napp.baseURL = 'http://10.0.0.5:8090/'\r\n");
    const std::string raw("\xE9t\xE9\x00X\xFF\x80", 7);
    EXPECT_EQ(replace_in_lines(raw, "X", "\xC3\xA7"), std::string("\xE9t\xE9\x00\xC3\xA7\xFF\x80\r\n", 10));
    // A search text of high bytes matches those exact bytes only.
    EXPECT_EQ(replace_in_lines("\xC3\xA3 \xC3\xA4", "\xC3\xA3", "a"), "a \xC3\xA4\r\n");
}

TEST(TextReplacement, LongLinesAndManyLines) {
    std::string content;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        content += "key" + std::to_string(i) + "=Listen 80" + (i % 3 == 0 ? "\n" : "\r\n");
        expected += "key" + std::to_string(i) + "=Listen 8090\r\n";
    }
    EXPECT_EQ(replace_in_lines(content, "Listen 80", "Listen 8090"), expected);

    const std::string long_line = std::string(1 << 20, 'a') + "NEEDLE" + std::string(1 << 20, 'b');
    EXPECT_EQ(replace_in_lines(long_line, "NEEDLE", "pin"),
              std::string(1 << 20, 'a') + "pin" + std::string(1 << 20, 'b') + "\r\n");
}

TEST(TextReplacement, TerminatorAnywhereInALongStretchWithoutMatches) {
    // Long stretches are checked for lone terminators in blocks; a pair
    // may straddle a block's end, and a lone one may sit anywhere.
    for (std::size_t at = 0; at < 140; ++at) {
        for (const char* terminator : {"\r\n", "\n", "\r"}) {
            const std::string content = std::string(at, 'x') + terminator + std::string(150, 'y') + "\r\n\r\n" +
                                        std::string(at / 2, 'z');
            const std::string expected = reference(content, "q", "Q");
            ASSERT_EQ(replace_in_lines(content, "q", "Q"), expected) << at;
            ASSERT_EQ(streamed(content, "q", "Q", 1 + at % 70), expected) << at;
        }
    }
}

TEST(TextReplacement, AgreesWithAPlainReadingOnRandomInput) {
    std::mt19937 random(20240611);
    const std::string alphabet("ab\r\n\xC3", 5);
    auto random_text = [&](std::size_t max_length) {
        std::string text(random() % (max_length + 1), ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        return text;
    };
    for (int round = 0; round < 5000; ++round) {
        const std::string content = random_text(40);
        std::string search = random_text(3);
        if (round % 2 == 0) {
            // Mostly searches that can match (no terminators).
            for (char& c : search) {
                if (c == '\r' || c == '\n') {
                    c = 'a';
                }
            }
        }
        const std::string replacement = random_text(4);
        const std::string expected = reference(content, search, replacement);
        ASSERT_EQ(replace_in_lines(content, search, replacement), expected) << "round " << round;
        ASSERT_EQ(streamed(content, search, replacement, 1 + round % 5), expected) << "round " << round;
    }
}
