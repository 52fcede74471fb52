// The check of a new program copy on any bytes: it never reads outside
// them, and what it accepts as the updater is a program image that names
// this product and would pass as any other program too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "self_update/executable_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (std::uint16_t machine : {kMachineAmd64, kMachineI386}) {
        const ImageCheck updater = check_executable_image(bytes, ImageRole::Updater, machine);
        const ImageCheck tool = check_executable_image(bytes, ImageRole::Tool, machine);
        if (updater.fault == ImageFault::None) {
            FUZZ_CHECK(bytes.substr(0, 2) == "MZ" && updater.machine == machine);
            FUZZ_CHECK(updater.product_name == kUpdaterProductName);
            FUZZ_CHECK(version_product_name(bytes) == std::optional<std::u16string>(kUpdaterProductName));
            FUZZ_CHECK(tool.fault == ImageFault::None);
        }
        FUZZ_CHECK((tool.fault == ImageFault::None) == image_fault_text(tool, machine).empty());
    }
    return 0;
}
