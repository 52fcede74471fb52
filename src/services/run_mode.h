// The run-mode decision from the raw command line. Pure: tested natively.
#pragma once

#include <string>

// The argument text: what follows the program's own name on the command
// line and the blanks after it, raw (quotes, further words and trailing
// blanks kept).
std::wstring argument_text(const std::wstring& command_line);

// Update mode is chosen by the argument text "/atualizar" exactly
// (case-sensitive, whole text); anything else is installer mode.
bool is_update_mode(const std::wstring& argument_text);

// What a keyed build's removal was asked for: "/remover" exactly asks the
// question first, "/remover /silencioso" exactly asks nothing; any other
// text is no removal (and a keyless build takes neither: installer mode).
enum class RemovalRequest { none, asked, silent };
RemovalRequest removal_request(const std::wstring& argument_text);
