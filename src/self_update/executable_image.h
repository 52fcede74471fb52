// Whether a file's bytes are a program this PC can run in the place of an
// installed one: a Windows PE executable (not a DLL) for the right machine
// type and, for the updater, with this program's version resource (product
// "Instalador Zunaveri"). Reads only inside the buffer, whatever it holds.
// Pure: tested natively and fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;

// The machine type of this program, as its own PE header gives it: the
// tool is built for 32-bit x86 and for x86-64 Windows only.
#if defined(__i386__) || defined(_M_IX86)
inline constexpr std::uint16_t kThisProgramMachine = kMachineI386;
#else
inline constexpr std::uint16_t kThisProgramMachine = kMachineAmd64;
#endif

inline constexpr std::u16string_view kUpdaterProductName = u"Instalador Zunaveri";

enum class ImageFault {
    None,
    NotExecutable,      // no MZ and PE headers, or they are cut short or inconsistent
    OtherMachine,       // a PE executable for another machine type
    Library,            // a DLL, not a program
    NoVersionResource,  // no readable VS_VERSIONINFO with a ProductName
    OtherProduct,       // a version resource naming another product
};

struct ImageCheck {
    ImageFault fault = ImageFault::NotExecutable;
    std::uint16_t machine = 0;     // from the PE header, when it was read
    std::u16string product_name;   // from the version resource, when it was read
};

// What is needed of the new copy of an installed program.
enum class ImageRole {
    Updater,  // this program itself: same machine type, its product name
    Tool,     // wget.exe: a program of this machine type, or a 32-bit x86 one (every x86 Windows runs those)
};

ImageCheck check_executable_image(std::string_view bytes, ImageRole role,
                                  std::uint16_t own_machine = kThisProgramMachine);

// The ProductName of the image's version resource, when it has a readable one.
std::optional<std::u16string> version_product_name(std::string_view bytes);

// Why the image was refused, in a few Portuguese words ("" for None).
std::wstring image_fault_text(const ImageCheck& check, std::uint16_t own_machine = kThisProgramMachine);
