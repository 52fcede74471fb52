// The size list: lengths read to the 64-bit edge, and every fault, each
// rejecting the whole list at its line.
#include <gtest/gtest.h>

#include <string>

#include "release/release_rules.h"
#include "release/size_manifest.h"

namespace {

const std::string kHash(64, 'c');

ManifestParse parse(const std::string& text) { return parse_size_manifest(text, manifest_known_names()); }

}  // namespace

TEST(SizeManifest, ReadsDigestsAndLengthsToTheLargest) {
    const ManifestParse read = parse("serie 9\r\n" + kHash + "  0  zunaveri.sql\r\n" + kHash +
                                     "  18446744073709551615  wget.exe");
    ASSERT_TRUE(read.manifest) << static_cast<int>(read.fault);
    EXPECT_EQ(read.manifest->serial, 9u);
    EXPECT_EQ(read.manifest->sizes.at("zunaveri.sql"), 0u);
    EXPECT_EQ(read.manifest->sizes.at("wget.exe"), 18446744073709551615u);
    EXPECT_EQ(read.manifest->files.at("wget.exe")[31], 0xcc);
}

TEST(SizeManifest, RejectsTheWholeListForAnyFault) {
    const std::string good = kHash + "  10  wget.exe\n";
    const struct {
        std::string text;
        ManifestFault fault;
        std::size_t line;
    } cases[] = {
        {good, ManifestFault::MissingSerial, 1},
        {"serie 1\n" + kHash + "  wget.exe\n", ManifestFault::MalformedLine, 2},  // the manifest's form
        {"serie 1\n" + kHash + "  10  \n", ManifestFault::MalformedLine, 2},
        {"serie 1\n" + std::string(64, 'C') + "  10  wget.exe\n", ManifestFault::MalformedLine, 2},
        {"serie 1\n" + kHash + "  18446744073709551616  wget.exe\n", ManifestFault::MalformedLength, 2},
        {"serie 1\n" + kHash + "  010  wget.exe\n", ManifestFault::MalformedLength, 2},
        {"serie 1\n" + kHash + "  +10  wget.exe\n", ManifestFault::MalformedLength, 2},
        {"serie 1\n" + kHash + "  -1  wget.exe\n", ManifestFault::MalformedLength, 2},
        {"serie 1\n" + kHash + "   10  wget.exe\n", ManifestFault::MalformedLength, 2},
        {"serie 1\n" + kHash + "    wget.exe\n", ManifestFault::MalformedLength, 2},
        {"serie 1\n" + kHash + "  1e3  wget.exe\n", ManifestFault::MalformedLength, 2},
        {"serie 1\n" + kHash + "  10  wget.exe \n", ManifestFault::UnknownName, 2},
        {"serie 1\n" + good + kHash + "  11  wget.exe\n", ManifestFault::DuplicateName, 3},
        {"serie 1\n" + std::string(64 * 1024, '#'), ManifestFault::TooLarge, 0},
    };
    for (const auto& c : cases) {
        const ManifestParse result = parse(c.text);
        EXPECT_FALSE(result.manifest) << c.text.substr(0, 100);
        EXPECT_EQ(result.fault, c.fault) << c.text.substr(0, 100);
        EXPECT_EQ(result.line, c.line) << c.text.substr(0, 100);
    }
}
