// Command lines as Windows programs receive them: quoting of one argument,
// the splitter that undoes it, and the fetch command of the FTP client.
// Pure text work, tested natively.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One argument as it must be written so that the Windows splitting rules
// (CommandLineToArgvW, the C runtime) give it back unchanged. Left as it is
// unless it is empty or holds a blank, a tab or a double quote; otherwise
// put in double quotes, with quotes escaped and the backslashes before a
// quote (or before the closing quote) doubled.
std::wstring quote_argument(std::wstring_view argument);

// Splits a command line by the rules of CommandLineToArgvW: the program
// (first word) ends at the next quote when it starts with one, otherwise at
// the first blank or tab; after it, blanks and tabs separate arguments
// outside quotes, 2n backslashes before a quote give n and the quote
// toggles, 2n+1 give n and a literal quote, other backslashes are literal,
// and every third quote of a run of quotes is a literal one. A line that is
// empty gives no words.
std::vector<std::wstring> split_command_line(std::wstring_view line);

// The UTF-8 bytes of a text, percent-encoded: every byte outside
// A-Z a-z 0-9 - . _ ~ becomes "%" and two upper-case hex digits. A lone
// surrogate is encoded as U+FFFD.
std::wstring percent_encoded(std::wstring_view text);

// The FTP URL of one remote file: "ftp://" user ":" password "@ftp." domain
// + remote folder + name, with user and password percent-encoded and the
// domain as typed.
std::wstring fetch_url(std::wstring_view user, std::wstring_view password, std::wstring_view domain,
                       std::wstring_view arquivo);

// The command line that fetches one remote file into the temporary folder:
// the client in the tool's folder, the URL, and "-P C:\Windows\Temp\".
// The client's path and the URL are each quoted only when they need it, so
// plain values give the line unquoted.
std::wstring fetch_command_line(std::wstring_view tool_folder, std::wstring_view user, std::wstring_view password,
                                std::wstring_view domain, std::wstring_view arquivo);

// The same fetch in a build that keeps its copies in a folder of its own:
// the client told to read no start-up file ("--no-config"), then the URL,
// then "-P" and `target_folder` with a trailing separator.
std::wstring fetch_command_line_into(std::wstring_view tool_folder, std::wstring_view user,
                                     std::wstring_view password, std::wstring_view domain, std::wstring_view arquivo,
                                     std::wstring_view target_folder);

// The program of a command line (its first word by the splitting rules)
// names a batch file: it ends in ".bat" or ".cmd", in any letter case.
bool runs_batch_file(std::wstring_view line);

// The command interpreter's arguments that run a batch command line: the
// line goes after "/c" inside one pair of quotes, which "/s" strips again,
// so the interpreter sees the line as it was. "/d" skips AutoRun commands.
std::wstring batch_interpreter_arguments(std::wstring_view line);
