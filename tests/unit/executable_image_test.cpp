// The check of a new copy of the updater or wget.exe: a tiny PE image built
// here (headers, one resource section with a version resource), spoiled
// one way at a time and cut at every length; and, when the MinGW build is
// there, the real exe of this program.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "self_update/executable_image.h"

namespace {

void put(std::string& out, std::size_t at, std::uint32_t value, int width) {
    if (out.size() < at + width) {
        out.resize(at + width, '\0');
    }
    for (int i = 0; i < width; ++i) {
        out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::string utf16(std::u16string_view text) {
    std::string out;
    for (char16_t unit : text) {
        put(out, out.size(), unit, 2);
    }
    return out;
}

// One VS_VERSIONINFO block: lengths, type, key, value and children, 32-bit aligned.
std::string block(std::u16string_view key, const std::string& value, bool text, const std::vector<std::string>& children) {
    std::string out(6, '\0');
    out += utf16(key) + std::string(2, '\0');
    out.resize((out.size() + 3) & ~std::size_t{3}, '\0');
    out += value;
    for (const std::string& child : children) {
        out.resize((out.size() + 3) & ~std::size_t{3}, '\0');
        out += child;
    }
    put(out, 0, static_cast<std::uint32_t>(out.size()), 2);
    put(out, 2, static_cast<std::uint32_t>(text ? value.size() / 2 : value.size()), 2);
    put(out, 4, text ? 1 : 0, 2);
    return out;
}

struct TinyImage {
    std::uint16_t machine = kMachineAmd64;
    std::uint16_t magic = 0x20B;
    std::uint16_t characteristics = 0x0022;  // executable, large addresses
    std::u16string product = u"Instalador Zunaveri";
    bool version = true;

    std::string bytes() const {
        std::string version_info =
            block(u"VS_VERSION_INFO", std::string(52, '\0'), false,
                  {block(u"StringFileInfo", "", true,
                         {block(u"041604B0", "", true,
                                {block(u"CompanyName", utf16(u"Zunaveri") + std::string(2, '\0'), true, {}),
                                 block(u"ProductName", utf16(product) + std::string(2, '\0'), true, {})})})});
        // The resource tree: type 16 (or 6 without a version) -> name 1 -> language -> data at 0x58.
        std::string tree;
        put(tree, 0x0E, 1, 2);
        put(tree, 0x10, version ? 16 : 6, 4);
        put(tree, 0x14, 0x80000018u, 4);
        put(tree, 0x18 + 0x0E, 1, 2);
        put(tree, 0x18 + 0x10, 1, 4);
        put(tree, 0x18 + 0x14, 0x80000030u, 4);
        put(tree, 0x30 + 0x0E, 1, 2);
        put(tree, 0x30 + 0x10, 0x416, 4);
        put(tree, 0x30 + 0x14, 0x48, 4);
        put(tree, 0x48, 0x1000 + 0x58, 4);
        put(tree, 0x4C, static_cast<std::uint32_t>(version_info.size()), 4);
        tree.resize(0x58, '\0');
        tree += version_info;

        const std::size_t optional_size = magic == 0x20B ? 240 : 224;
        const std::size_t directories = magic == 0x20B ? 112 : 96;
        std::string out = "MZ";
        put(out, 0x3C, 0x40, 4);
        out += std::string("PE\0\0", 4);
        put(out, 0x44, machine, 2);
        put(out, 0x46, 1, 2);
        put(out, 0x54, static_cast<std::uint32_t>(optional_size), 2);
        put(out, 0x56, characteristics, 2);
        put(out, 0x58, magic, 2);
        put(out, 0x58 + directories - 4, 16, 4);
        put(out, 0x58 + directories + 16, 0x1000, 4);
        put(out, 0x58 + directories + 20, static_cast<std::uint32_t>(tree.size()), 4);
        const std::size_t section = 0x58 + optional_size;
        out.resize(section, '\0');
        out += ".rsrc";
        put(out, section + 8, static_cast<std::uint32_t>(tree.size()), 4);
        put(out, section + 12, 0x1000, 4);
        put(out, section + 16, static_cast<std::uint32_t>(tree.size()), 4);
        put(out, section + 20, 0x200, 4);
        out.resize(0x200, '\0');
        return out + tree;
    }
};

ImageFault fault_of(const TinyImage& image, ImageRole role = ImageRole::Updater) {
    return check_executable_image(image.bytes(), role, kMachineAmd64).fault;
}

}  // namespace

TEST(ExecutableImage, AcceptsThisProgramAndRefusesEachSpoiltImage) {
    const TinyImage updater;
    EXPECT_EQ(fault_of(updater), ImageFault::None);
    EXPECT_EQ(version_product_name(updater.bytes()), u"Instalador Zunaveri");

    TinyImage x86;
    x86.machine = kMachineI386;
    x86.magic = 0x10B;
    EXPECT_EQ(fault_of(x86), ImageFault::OtherMachine);
    EXPECT_EQ(fault_of(x86, ImageRole::Tool), ImageFault::None) << "a 32-bit wget.exe runs on 64-bit Windows";
    EXPECT_EQ(check_executable_image(updater.bytes(), ImageRole::Tool, kMachineI386).fault, ImageFault::OtherMachine)
        << "but a 64-bit one not on 32-bit Windows";
    TinyImage arm = updater;
    arm.machine = 0xAA64;
    EXPECT_EQ(fault_of(arm, ImageRole::Tool), ImageFault::OtherMachine);
    EXPECT_NE(image_fault_text(check_executable_image(arm.bytes(), ImageRole::Tool)).find(L"0xAA64"), std::wstring::npos);

    TinyImage mixed = updater;
    mixed.magic = 0x10B;
    EXPECT_EQ(fault_of(mixed), ImageFault::NotExecutable);
    TinyImage library = updater;
    library.characteristics |= 0x2000;
    EXPECT_EQ(fault_of(library), ImageFault::Library);
    TinyImage object = updater;
    object.characteristics = 0;
    EXPECT_EQ(fault_of(object), ImageFault::NotExecutable);
    TinyImage unversioned = updater;
    unversioned.version = false;
    EXPECT_EQ(fault_of(unversioned), ImageFault::NoVersionResource);
    EXPECT_EQ(fault_of(unversioned, ImageRole::Tool), ImageFault::None);
    TinyImage other = updater;
    other.product = u"Outro Programa";
    const ImageCheck named = check_executable_image(other.bytes(), ImageRole::Updater, kMachineAmd64);
    EXPECT_EQ(named.fault, ImageFault::OtherProduct);
    EXPECT_NE(image_fault_text(named).find(L"\"Outro Programa\""), std::wstring::npos);

    EXPECT_EQ(check_executable_image("", ImageRole::Tool).fault, ImageFault::NotExecutable);
    EXPECT_EQ(check_executable_image("#!/bin/sh\necho oi\n", ImageRole::Tool).fault, ImageFault::NotExecutable);
}

TEST(ExecutableImage, EveryCutOfAnImageIsRefusedWithoutReadingPastIt) {
    const std::string whole = TinyImage().bytes();
    for (std::size_t length = 0; length < whole.size(); ++length) {
        // A copy of exactly that length, so the sanitizer sees any read past it.
        const std::vector<char> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        const std::string_view bytes(cut.data(), cut.size());
        EXPECT_NE(check_executable_image(bytes, ImageRole::Updater, kMachineAmd64).fault, ImageFault::None) << length;
    }
}

#ifdef ZUNAVERI_WINDOWS_EXE
TEST(ExecutableImage, TheRealExeOfThisBuildIsAnUpdater) {
    std::ifstream file(ZUNAVERI_WINDOWS_EXE, std::ios::binary);
    if (!file) {
        GTEST_SKIP() << "no MinGW build at " << ZUNAVERI_WINDOWS_EXE;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(check_executable_image(bytes, ImageRole::Updater, kMachineAmd64).fault, ImageFault::None);
    EXPECT_EQ(check_executable_image(bytes, ImageRole::Updater, kMachineI386).fault, ImageFault::OtherMachine);
}
#endif
