// What happens to an error that no procedure handles: a message box with the
// error's number and description, then the program ends.
#pragma once

#include <exception>
#include <string>

#include "services/operation_error.h"

[[noreturn]] void end_after_uncaught_error(unsigned long number, const std::wstring& description);

// Runs one window event's handler under that rule.
template <typename Handler>
void run_event_handler(Handler&& handler) {
    try {
        handler();
    } catch (const OperationError& error) {
        end_after_uncaught_error(error.number(), error.description());
    } catch (const std::bad_alloc&) {
        end_after_uncaught_error(7, L"Memória insuficiente");
    } catch (const std::exception&) {
        end_after_uncaught_error(5, L"Erro interno do programa");
    }
}
