// Signed releases: the manifest, the DER signature and the key text on
// sound and malformed input, and the files a step takes from the
// temporary folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "release/der_signature.h"
#include "release/release_manifest.h"
#include "release/release_rules.h"

namespace {

const std::string kHashA(64, 'a');
const std::string kHashB = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

ManifestParse parse(const std::string& text) { return parse_release_manifest(text, manifest_known_names()); }

std::vector<std::uint8_t> bytes_of_hex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

bool decodes(const std::string& hex) {
    const std::vector<std::uint8_t> der = bytes_of_hex(hex);
    return decode_der_signature(der.data(), der.size()).has_value();
}

// A signature openssl wrote (r and s of 32 bytes, no leading zero).
const std::string kOpensslSignature =
    "304402203272db2f6c8afb79911e72485cecc9168ac5842a0ae0e88fa900c46e7c63d89e"
    "0220653c65628a10b545d3b9c0aa75428dc723643bdb31b31c1d0ddbb46e762e4d6b";
const std::string kR = "3272db2f6c8afb79911e72485cecc9168ac5842a0ae0e88fa900c46e7c63d89e";
const std::string kOrder = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";
const std::string kOrderMinusOne = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632550";

std::string der(const std::string& r_content, const std::string& s_content) {
    const auto integer = [](const std::string& content) {
        char length[3];
        std::snprintf(length, sizeof length, "%02x", static_cast<unsigned>(content.size() / 2));
        return "02" + std::string(length) + content;
    };
    const std::string body = integer(r_content) + integer(s_content);
    char length[3];
    std::snprintf(length, sizeof length, "%02x", static_cast<unsigned>(body.size() / 2));
    return "30" + std::string(length) + body;
}

}  // namespace

TEST(ReleaseManifest, ReadsSerialAndLinesWithEitherLineEnd) {
    const ManifestParse lf = parse("serie 42\n" + kHashA + "  zunaveri-digital.exe\n" + kHashB + "  wget.exe");
    ASSERT_TRUE(lf.manifest) << static_cast<int>(lf.fault);
    EXPECT_EQ(lf.manifest->serial, 42u);
    ASSERT_EQ(lf.manifest->files.size(), 2u);
    EXPECT_EQ(lf.manifest->files.at("wget.exe")[0], 0x01);
    EXPECT_EQ(lf.manifest->files.at("wget.exe")[31], 0xef);

    const ManifestParse crlf = parse("serie 7\r\n" + kHashA + "  zunaveri.sql\r\n");
    ASSERT_TRUE(crlf.manifest);
    EXPECT_EQ(crlf.manifest->serial, 7u);
    EXPECT_EQ(crlf.manifest->files.count("zunaveri.sql"), 1u);
    EXPECT_TRUE(parse("serie 0\n").manifest.has_value());
}

TEST(ReleaseManifest, RejectsTheWholeManifestForAnyFault) {
    const std::string good = kHashA + "  wget.exe\n";
    const struct {
        std::string text;
        ManifestFault fault;
        std::size_t line;
    } cases[] = {
        {"", ManifestFault::MissingSerial, 1},
        {good, ManifestFault::MissingSerial, 1},
        {"serie\n" + good, ManifestFault::MissingSerial, 1},
        {"serie -1\n", ManifestFault::MissingSerial, 1},
        {"serie 1 \n", ManifestFault::MissingSerial, 1},
        {"Serie 1\n", ManifestFault::MissingSerial, 1},
        {"serie 1234567890123456789\n", ManifestFault::MissingSerial, 1},
        {"serie 1\n\n" + good, ManifestFault::MalformedLine, 2},
        {"serie 1\n" + good + "\n", ManifestFault::MalformedLine, 3},
        {"serie 1\n" + kHashA + " *wget.exe\n", ManifestFault::MalformedLine, 2},
        {"serie 1\n" + kHashA + " wget.exe\n", ManifestFault::MalformedLine, 2},
        {"serie 1\n" + kHashA + "  \n", ManifestFault::MalformedLine, 2},
        {"serie 1\n" + std::string(64, 'A') + "  wget.exe\n", ManifestFault::MalformedLine, 2},
        {"serie 1\n" + std::string(63, 'a') + "  wget.exe\n", ManifestFault::MalformedLine, 2},
        {"serie 1\n" + std::string(63, 'a') + "g  wget.exe\n", ManifestFault::MalformedLine, 2},
        {"serie 1\n" + kHashA + "  wget.exe\r\r\n", ManifestFault::UnknownName, 2},
        {"serie 1\n" + kHashA + "  WGET.EXE\n", ManifestFault::UnknownName, 2},
        {"serie 1\n" + kHashA + "  manifesto_zunaveri.txt\n", ManifestFault::UnknownName, 2},
        {"serie 1\n" + kHashA + "  wget.exe \n", ManifestFault::UnknownName, 2},
        {"serie 1\n" + good + kHashB + "  wget.exe\n", ManifestFault::DuplicateName, 3},
        {"serie 1\n" + std::string(64 * 1024, '#'), ManifestFault::TooLarge, 0},
    };
    for (const auto& c : cases) {
        const ManifestParse result = parse(c.text);
        EXPECT_FALSE(result.manifest) << c.text.substr(0, 100);
        EXPECT_EQ(result.fault, c.fault) << c.text.substr(0, 100);
        EXPECT_EQ(result.line, c.line) << c.text.substr(0, 100);
    }
}

TEST(ReleaseManifest, SizeLimitIsInclusive) {
    std::string text = "serie 1\n" + kHashA + "  zunaveri.sql\n";
    text.resize(kMaxManifestBytes, '\n');  // trailing empty lines are malformed, but not too large
    EXPECT_EQ(parse(text).fault, ManifestFault::MalformedLine);
}

TEST(DerSignature, DecodesWhatOpensslWrites) {
    const std::vector<std::uint8_t> bytes = bytes_of_hex(kOpensslSignature);
    const auto signature = decode_der_signature(bytes.data(), bytes.size());
    ASSERT_TRUE(signature);
    EXPECT_EQ((*signature)[0], 0x32);
    EXPECT_EQ((*signature)[32], 0x65);
    EXPECT_EQ((*signature)[63], 0x6b);
    // Short integers are right-aligned; a needed leading zero is dropped.
    const std::vector<std::uint8_t> small = bytes_of_hex(der("01", "00" + kOrderMinusOne));
    const auto padded = decode_der_signature(small.data(), small.size());
    ASSERT_TRUE(padded);
    EXPECT_EQ((*padded)[31], 0x01);
    EXPECT_EQ((*padded)[0], 0x00);
    EXPECT_EQ((*padded)[32], 0xff);
}

TEST(DerSignature, RefusesAnythingButStrictDerInRange) {
    EXPECT_TRUE(decodes(der(kR, kR)));
    const std::string refused[] = {
        "",
        "30",
        kOpensslSignature + "00",                          // trailing byte
        kOpensslSignature.substr(0, kOpensslSignature.size() - 2),  // cut short
        "3045" + kOpensslSignature.substr(4),              // sequence longer than its content
        "308144" + kOpensslSignature.substr(4),            // long form for a short length
        "31" + kOpensslSignature.substr(2),                // not a sequence
        der("00" + kR, kR),                                // leading zero not needed
        der("", kR),                                       // empty integer
        der("00", kR),                                     // zero
        der(kR, "80" + kR.substr(2)),                      // negative
        der(kOrder, kR),                                   // r = n
        der(kR, "00" + kOrder),                            // s = n
        der("01" + kR, kR),                                // 33 bytes of value
        "30440220" + kR + "0320" + kR,                     // s not an INTEGER
        "30220220" + kR,                                   // one integer only
    };
    for (const std::string& hex : refused) {
        EXPECT_FALSE(decodes(hex)) << hex;
    }
    EXPECT_FALSE(decode_der_signature(nullptr, 0));
}

TEST(PublicKeyText, DecodesTheBase64OfAP256KeyInfoOnly) {
    const std::string text =
        "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEu7Jf5WRH3Y4sAlFQtHrKEK2kfUdw7EO9MYn80zjHW8ieLrqxtz5cZF7YjxP++Z4F1r+34RUcnkIC"
        "zEqIGo6nZg==";
    const auto point = decode_public_key_text(text);
    ASSERT_TRUE(point);
    EXPECT_EQ((*point)[0], 0xbb);
    EXPECT_EQ((*point)[63], 0x66);

    EXPECT_FALSE(decode_public_key_text(""));
    EXPECT_FALSE(decode_public_key_text(text.substr(0, text.size() - 2)));        // padding missing
    EXPECT_FALSE(decode_public_key_text(text.substr(0, text.size() - 3) + "h=="));  // bits after the data
    EXPECT_FALSE(decode_public_key_text(text + "AAAA"));                           // too long
    EXPECT_FALSE(decode_public_key_text(" " + text.substr(1)));                    // blank
    EXPECT_FALSE(decode_public_key_text("MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAF" + text.substr(36)));  // compressed tag
    // A P-384 key's info (different curve) is refused.
    EXPECT_FALSE(decode_public_key_text("MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAE" + std::string(96, 'A')));
}

TEST(ReleaseRules, FetchedFilesOfARunOrACopy) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(fetched_files_used_by(L"C:\\windows\\temp\\xampp-win32-7.3.2-0-VC15-installer.exe --mode unattended"),
              V{L"xampp-win32-7.3.2-0-VC15-installer.exe"});
    EXPECT_EQ(fetched_files_used_by(L"C:\\Windows\\Temp\\gds32.dll"), V{L"gds32.dll"});
    EXPECT_EQ(fetched_files_used_by(L"C:\\windows\\temp\\importar_dados.bat"),
              (V{L"zunaveri.sql", L"importar_dados.bat"}));
    EXPECT_EQ(fetched_files_used_by(L"C:\\xampp\\xampp_stop.exe"), V{});
    EXPECT_EQ(fetched_files_used_by(L"c:\\xampp\\htdocs\\assets\\img\\brand\\logo.png"), V{});
    EXPECT_TRUE(serial_may_be_applied(5, std::nullopt));
    EXPECT_TRUE(serial_may_be_applied(5, 5));
    EXPECT_FALSE(serial_may_be_applied(4, 5));
}

TEST(ReleaseRules, AnOlderReleaseOrAnUnreadableRecordIsRefusedNamingWhy) {
    using State = AppliedSerial::State;
    EXPECT_FALSE(serial_refusal(4, AppliedSerial{}));
    EXPECT_FALSE(serial_refusal(9, AppliedSerial{State::Recorded, 9, L""}));
    const auto older = serial_refusal(4, AppliedSerial{State::Recorded, 9, L""});
    ASSERT_TRUE(older);
    EXPECT_EQ(older->fault, ReleaseFault::OlderSerial);
    EXPECT_EQ(release_fault_description(older->fault, L"zunaveri-digital.exe", older->detail),
              L"O arquivo \"zunaveri-digital.exe\" não foi usado: a versão do servidor é mais antiga que a já aplicada "
              L"neste computador (serie 4 < serie 9)");
    // Fails closed, whatever the release's serial.
    const auto unreadable = serial_refusal(1000, AppliedSerial{State::Unreadable, 0, L"tipo inesperado"});
    ASSERT_TRUE(unreadable);
    EXPECT_EQ(unreadable->fault, ReleaseFault::SerialRecordUnreadable);
    EXPECT_EQ(unreadable->detail, L"tipo inesperado");
}

TEST(ReleaseRules, TheOldSerialFileCountsOnlyWhenItHoldsASerial) {
    EXPECT_EQ(applied_serial_from_legacy_file(std::string("10\r\n")).serial, 10u);
    EXPECT_EQ(applied_serial_from_legacy_file(std::string("7")).state, AppliedSerial::State::Recorded);
    for (const char* spoiled : {"", "abc", "1 0", "-3", "\r\n"}) {
        EXPECT_EQ(applied_serial_from_legacy_file(std::string(spoiled)).state, AppliedSerial::State::None) << spoiled;
    }
    EXPECT_EQ(applied_serial_from_legacy_file(std::nullopt).state, AppliedSerial::State::None);
}
