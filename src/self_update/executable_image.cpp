#include "self_update/executable_image.h"

namespace {

constexpr std::uint16_t kMzSignature = 0x5A4D;      // "MZ"
constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kPe32Magic = 0x010B;
constexpr std::uint16_t kPe32PlusMagic = 0x020B;
constexpr std::uint16_t kExecutableImage = 0x0002;  // IMAGE_FILE_EXECUTABLE_IMAGE
constexpr std::uint16_t kDll = 0x2000;              // IMAGE_FILE_DLL
constexpr std::uint64_t kResourceDirectory = 2;     // IMAGE_DIRECTORY_ENTRY_RESOURCE
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kResourceEntrySize = 8;

// Little-endian reads that never leave the buffer: a read outside it gives
// 0 and marks the reader bad, so a caller checks once after a group.
struct Reader {
    std::string_view data;
    bool bad = false;

    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= data.size() && length <= data.size() - offset;
    }
    std::uint32_t le(std::uint64_t offset, unsigned width) {
        if (!has(offset, width)) {
            bad = true;
            return 0;
        }
        std::uint32_t value = 0;
        for (unsigned i = width; i-- > 0;) {
            value = (value << 8) | static_cast<std::uint8_t>(data[static_cast<std::size_t>(offset) + i]);
        }
        return value;
    }
    std::uint16_t u16(std::uint64_t offset) { return static_cast<std::uint16_t>(le(offset, 2)); }
    std::uint32_t u32(std::uint64_t offset) { return le(offset, 4); }
};

struct PeLayout {
    std::uint16_t machine = 0;
    std::uint16_t characteristics = 0;
    std::uint16_t magic = 0;
    std::uint64_t sections = 0;  // offset of the section table
    std::uint16_t section_count = 0;
    std::uint32_t resource_rva = 0;
};

std::optional<PeLayout> read_layout(Reader& in) {
    if (in.u16(0) != kMzSignature) {
        return std::nullopt;
    }
    const std::uint64_t pe = in.u32(0x3C);
    if (in.bad || in.u32(pe) != kPeSignature) {
        return std::nullopt;
    }
    const std::uint64_t coff = pe + 4;
    const std::uint64_t optional_header = coff + 20;
    PeLayout layout;
    layout.machine = in.u16(coff);
    layout.section_count = in.u16(coff + 2);
    const std::uint16_t optional_size = in.u16(coff + 16);
    layout.characteristics = in.u16(coff + 18);
    layout.magic = in.u16(optional_header);
    if (in.bad || !in.has(optional_header, optional_size)) {
        return std::nullopt;
    }
    // Where the data directories start, and their count, by header kind.
    std::uint64_t directories = 0;
    if (layout.magic == kPe32Magic) {
        directories = 96;
    } else if (layout.magic == kPe32PlusMagic) {
        directories = 112;
    } else {
        return std::nullopt;
    }
    if (optional_size < directories) {
        return std::nullopt;
    }
    const std::uint32_t directory_count = in.u32(optional_header + directories - 4);
    if (directory_count > kResourceDirectory && directories + (kResourceDirectory + 1) * 8 <= optional_size) {
        layout.resource_rva = in.u32(optional_header + directories + kResourceDirectory * 8);
    }
    layout.sections = optional_header + optional_size;
    if (in.bad || !in.has(layout.sections, layout.section_count * kSectionHeaderSize)) {
        return std::nullopt;
    }
    return layout;
}

// The file offset of `length` bytes at `rva`, when one section's raw data holds them all.
std::optional<std::uint64_t> file_offset(Reader& in, const PeLayout& layout, std::uint64_t rva,
                                         std::uint64_t length) {
    for (std::uint64_t i = 0; i < layout.section_count; ++i) {
        const std::uint64_t header = layout.sections + i * kSectionHeaderSize;
        const std::uint64_t start = in.u32(header + 12);
        const std::uint64_t raw_size = in.u32(header + 16);
        const std::uint64_t raw_offset = in.u32(header + 20);
        if (!in.bad && rva >= start && rva - start < raw_size && length <= raw_size - (rva - start) &&
            in.has(raw_offset + (rva - start), length)) {
            return raw_offset + (rva - start);
        }
    }
    return std::nullopt;
}

// One level of the resource tree: the target of the entry with `id`, or of
// the first entry when `id` is nothing; `subdirectory` says which kind of
// target is wanted. Offsets are relative to the resource directory.
std::optional<std::uint32_t> resource_entry(Reader& in, const PeLayout& layout, std::uint32_t directory,
                                            std::optional<std::uint32_t> id, bool subdirectory) {
    const std::uint64_t base = std::uint64_t{layout.resource_rva} + directory;
    const std::optional<std::uint64_t> header = file_offset(in, layout, base, 16);
    if (!header) {
        return std::nullopt;
    }
    const std::uint64_t count = std::uint64_t{in.u16(*header + 12)} + in.u16(*header + 14);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::optional<std::uint64_t> entry =
            file_offset(in, layout, base + 16 + i * kResourceEntrySize, kResourceEntrySize);
        if (!entry) {
            return std::nullopt;
        }
        const std::uint32_t name = in.u32(*entry);
        const std::uint32_t target = in.u32(*entry + 4);
        const bool matches = !id || ((name & kHighBit) == 0 && name == *id);
        if (matches && ((target & kHighBit) != 0) == subdirectory) {
            return target & ~kHighBit;
        }
    }
    return std::nullopt;
}

// The bytes of the first RT_VERSION resource.
std::optional<std::string_view> version_resource(Reader& in, const PeLayout& layout) {
    if (layout.resource_rva == 0) {
        return std::nullopt;
    }
    const auto names = resource_entry(in, layout, 0, kRtVersion, true);
    const auto languages = names ? resource_entry(in, layout, *names, std::nullopt, true) : std::nullopt;
    const auto data_entry = languages ? resource_entry(in, layout, *languages, std::nullopt, false) : std::nullopt;
    if (!data_entry) {
        return std::nullopt;
    }
    const auto entry = file_offset(in, layout, std::uint64_t{layout.resource_rva} + *data_entry, 16);
    if (!entry) {
        return std::nullopt;
    }
    const std::uint32_t data_rva = in.u32(*entry);
    const std::uint32_t size = in.u32(*entry + 4);
    const auto data = file_offset(in, layout, data_rva, size);
    if (!data) {
        return std::nullopt;
    }
    return in.data.substr(static_cast<std::size_t>(*data), size);
}

// One block of VS_VERSIONINFO: wLength, wValueLength, wType, a NUL-ended
// UTF-16 key, then the value and the children, each 32-bit aligned.
struct VersionBlock {
    std::u16string key;
    std::uint64_t value = 0;     // where the value starts
    std::uint64_t children = 0;  // where the children start
    std::uint64_t end = 0;       // one past the block
};

std::uint64_t aligned(std::uint64_t offset) { return (offset + 3) & ~std::uint64_t{3}; }

std::optional<VersionBlock> read_block(Reader& in, std::uint64_t at, std::uint64_t limit) {
    const std::uint16_t length = in.u16(at);
    const std::uint16_t value_length = in.u16(at + 2);
    const std::uint16_t type = in.u16(at + 4);
    if (in.bad || length < 6 || length > limit - at) {
        return std::nullopt;
    }
    VersionBlock block;
    block.end = at + length;
    std::uint64_t cursor = at + 6;
    for (;; cursor += 2) {
        if (cursor + 2 > block.end) {
            return std::nullopt;
        }
        const char16_t unit = in.u16(cursor);
        if (unit == 0) {
            break;
        }
        block.key += unit;
    }
    block.value = aligned(cursor + 2);
    // A text value's length counts UTF-16 units, a binary one's bytes.
    const std::uint64_t value_bytes = std::uint64_t{value_length} * (type == 1 ? 2 : 1);
    block.children = aligned(block.value + value_bytes);
    return block;
}

// The UTF-16 text from `at` up to its NUL or the end of the block.
std::u16string block_text(Reader& in, std::uint64_t at, std::uint64_t end) {
    std::u16string text;
    for (; at + 2 <= end; at += 2) {
        const char16_t unit = in.u16(at);
        if (unit == 0) {
            break;
        }
        text += unit;
    }
    return text;
}

std::optional<std::u16string> product_name_in(std::string_view version) {
    Reader in{version};
    const std::optional<VersionBlock> root = read_block(in, 0, version.size());
    if (!root || root->key != u"VS_VERSION_INFO") {
        return std::nullopt;
    }
    // StringFileInfo -> string tables (one per language) -> strings.
    for (std::uint64_t at = root->children; at < root->end; ) {
        const std::optional<VersionBlock> info = read_block(in, at, root->end);
        if (!info) {
            break;
        }
        for (std::uint64_t table_at = info->children; info->key == u"StringFileInfo" && table_at < info->end;) {
            const std::optional<VersionBlock> table = read_block(in, table_at, info->end);
            if (!table) {
                break;
            }
            for (std::uint64_t string_at = table->children; string_at < table->end;) {
                const std::optional<VersionBlock> string = read_block(in, string_at, table->end);
                if (!string) {
                    break;
                }
                if (string->key == u"ProductName") {
                    return block_text(in, string->value, string->end);
                }
                string_at = aligned(string->end);
            }
            table_at = aligned(table->end);
        }
        at = aligned(info->end);
    }
    return std::nullopt;
}

std::wstring machine_text(std::uint16_t machine) {
    const wchar_t* digits = L"0123456789ABCDEF";
    std::wstring hex = L"0x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        hex += digits[(machine >> shift) & 0xF];
    }
    if (machine == kMachineAmd64) {
        return hex + L", x86-64";
    }
    if (machine == kMachineI386) {
        return hex + L", x86 32 bits";
    }
    return hex;
}

}  // namespace

std::optional<std::u16string> version_product_name(std::string_view bytes) {
    Reader in{bytes};
    const std::optional<PeLayout> layout = read_layout(in);
    if (!layout) {
        return std::nullopt;
    }
    const std::optional<std::string_view> version = version_resource(in, *layout);
    return version ? product_name_in(*version) : std::nullopt;
}

ImageCheck check_executable_image(std::string_view bytes, ImageRole role, std::uint16_t own_machine) {
    ImageCheck check;
    Reader in{bytes};
    const std::optional<PeLayout> layout = read_layout(in);
    if (!layout) {
        return check;
    }
    check.machine = layout->machine;
    const bool runnable_machine =
        layout->machine == own_machine || (role == ImageRole::Tool && layout->machine == kMachineI386);
    if (!runnable_machine) {
        check.fault = ImageFault::OtherMachine;
        return check;
    }
    const std::uint16_t expected_magic = layout->machine == kMachineAmd64 ? kPe32PlusMagic : kPe32Magic;
    if (layout->magic != expected_magic || (layout->characteristics & kExecutableImage) == 0) {
        return check;
    }
    if ((layout->characteristics & kDll) != 0) {
        check.fault = ImageFault::Library;
        return check;
    }
    if (role == ImageRole::Updater) {
        const std::optional<std::string_view> version = version_resource(in, *layout);
        const std::optional<std::u16string> product = version ? product_name_in(*version) : std::nullopt;
        if (!product) {
            check.fault = ImageFault::NoVersionResource;
            return check;
        }
        check.product_name = *product;
        if (*product != kUpdaterProductName) {
            check.fault = ImageFault::OtherProduct;
            return check;
        }
    }
    check.fault = ImageFault::None;
    return check;
}

std::wstring image_fault_text(const ImageCheck& check, std::uint16_t own_machine) {
    switch (check.fault) {
    case ImageFault::None:
        return L"";
    case ImageFault::NotExecutable:
        return L"não é um programa do Windows (cabeçalhos MZ/PE ausentes ou inválidos)";
    case ImageFault::OtherMachine:
        return L"é um programa para outro tipo de máquina (" + machine_text(check.machine) + L"; este é " +
               machine_text(own_machine) + L")";
    case ImageFault::Library:
        return L"é uma DLL, não um programa";
    case ImageFault::NoVersionResource:
        return L"não tem o recurso de versão do Instalador Zunaveri";
    case ImageFault::OtherProduct:
        return L"o recurso de versão diz \"" + std::wstring(check.product_name.begin(), check.product_name.end()) +
               L"\", não \"Instalador Zunaveri\"";
    }
    return L"";
}
