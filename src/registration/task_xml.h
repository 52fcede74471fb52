// The text of the scheduled task that starts the updater: Task Scheduler
// 2.0's XML, built here as one string so that a test sees all of it (Wine's
// Task Scheduler keeps only the file's presence). Pure: tested natively.
#pragma once

#include <string>
#include <string_view>

// `text` as an element's content: & < and > written as references
// (quotes mean nothing there and stay as they are).
std::wstring xml_escaped(std::wstring_view text);

// The task ZunaveriAtualizacao: at the logon of `account` ("DOMAIN\user"
// or a SID), the home's updater (quoted) with exactly "/atualizar", in the
// account's own session with its highest privileges; no time limit, on
// battery too, a second start ignored while one runs, and a start missed
// while the PC was off made up as soon as it can be.
std::wstring updater_task_xml(std::wstring_view account);
