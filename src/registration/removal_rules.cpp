#include "registration/removal_rules.h"

#include <algorithm>

bool is_process_folder_name(const std::wstring& name) {
    static const std::wstring prefix = L"zunaveri-";
    constexpr std::size_t kHexDigits = 32;
    return name.size() == prefix.size() + kHexDigits && name.compare(0, prefix.size(), prefix) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); });
}

std::wstring removal_report_text(const RemovalReport& report) {
    std::wstring text = report.complete ? L"O atualizador do Zunaveri Digital foi removido deste computador."
                                        : L"O atualizador do Zunaveri Digital foi removido só em parte.";
    text += L"\n";
    for (const std::wstring& line : report.lines) {
        text += L"\n- " + line;
    }
    text += L"\n\nForam mantidos: c:\\xampp (a aplicação e seus dados), a série da última versão aplicada e o "
            L"log em C:\\ProgramData\\Zunaveri.";
    return text;
}
