// Keyed builds: "/remover" and "/remover /silencioso". Takes the updater
// off the PC: its running processes, the scheduled task, the entry among
// the installed programs, the home with wget.exe (what is in use, such as
// this very program when it runs from there, at the next restart) and the
// leftover download folders of the processes it ended. Keeps c:\xampp, the
// applied serial and the operator's log, which gets a last line.
#pragma once

// `ask`: one question first (Sim/Não), and a box that says what was done.
// Returns the exit code: 0 when every step went through or the answer was
// Não, 1 otherwise. Never throws.
int remove_updater(bool ask) noexcept;
