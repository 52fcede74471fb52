// The check of a new copy of the updater or wget.exe, on the real exe of the
// MinGW build (when there is one) and on copies of it spoilt one way at a
// time or cut short.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "self_update/executable_image.h"

#ifdef ZUNAVERI_WINDOWS_EXE
namespace {

struct RealExe : testing::Test {
    void SetUp() override {
        std::ifstream file(ZUNAVERI_WINDOWS_EXE, std::ios::binary);
        if (!file) {
            GTEST_SKIP() << "no MinGW build at " << ZUNAVERI_WINDOWS_EXE;
        }
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        pe = static_cast<std::uint8_t>(bytes[0x3C]) | static_cast<std::uint8_t>(bytes[0x3D]) << 8;
    }
    // A copy with the field of `width` bytes at `offset` from the PE signature set to `value`.
    std::string with(std::size_t offset, std::uint32_t value, int width = 2) const {
        std::string copy = bytes;
        for (int i = 0; i < width; ++i) {
            copy[pe + offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        return copy;
    }
    ImageFault fault(std::string_view image, ImageRole role = ImageRole::Updater) const {
        return check_executable_image(image, role, kMachineAmd64).fault;
    }
    std::string bytes;
    std::size_t pe = 0;
};

constexpr std::size_t kMachine = 4, kCharacteristics = 22, kMagic = 24, kResourceRva = 24 + 112 + 16;

}  // namespace

TEST_F(RealExe, IsThisProgramAndEachSpoiltCopyIsRefused) {
    EXPECT_EQ(fault(bytes), ImageFault::None);
    EXPECT_EQ(version_product_name(bytes), u"Instalador Zunaveri");
    EXPECT_EQ(check_executable_image(bytes, ImageRole::Tool, kMachineI386).fault, ImageFault::OtherMachine)
        << "a 64-bit program is no use to 32-bit Windows";

    const std::string arm = with(kMachine, 0xAA64);
    EXPECT_EQ(fault(arm, ImageRole::Tool), ImageFault::OtherMachine);
    EXPECT_NE(image_fault_text(check_executable_image(arm, ImageRole::Tool)).find(L"0xAA64"), std::wstring::npos);
    EXPECT_EQ(fault(with(kMagic, 0x10B)), ImageFault::NotExecutable) << "a 64-bit machine with a 32-bit header";
    EXPECT_EQ(fault(with(kCharacteristics, 0x2022)), ImageFault::Library);
    EXPECT_EQ(fault(with(kCharacteristics, 0)), ImageFault::NotExecutable);
    const std::string unversioned = with(kResourceRva, 0, 4);
    EXPECT_EQ(fault(unversioned), ImageFault::NoVersionResource);
    EXPECT_EQ(fault(unversioned, ImageRole::Tool), ImageFault::None) << "wget.exe needs no version resource";

    std::string other = bytes;
    const std::string name = std::string("I\0n\0s\0t\0a\0l\0a\0d\0o\0r\0 \0Z\0", 24);
    other[other.rfind(name) + 22] = 'X';
    const ImageCheck named = check_executable_image(other, ImageRole::Updater, kMachineAmd64);
    EXPECT_EQ(named.fault, ImageFault::OtherProduct);
    EXPECT_NE(image_fault_text(named).find(L"\"Instalador Xunaveri\""), std::wstring::npos);
    EXPECT_EQ(fault("#!/bin/sh\necho oi\n", ImageRole::Tool), ImageFault::NotExecutable);
}

TEST_F(RealExe, ACopyCutShortIsRefusedWithoutReadingPastIt) {
    for (std::size_t length = 0; length < bytes.size(); length += length < 1024 ? 1 : bytes.size() / 64) {
        // A buffer of exactly that length, so the sanitizer sees any read past it.
        const std::vector<char> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_NE(fault(std::string_view(cut.data(), cut.size())), ImageFault::None) << length;
    }
}
#endif
