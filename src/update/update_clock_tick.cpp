// The tick of Timer1 and the update checks of update mode.
#include "oplog/operator_log.h"
#include "shell/form1.h"
#include "update/elapsed_clock.h"

void Form1::Timer1_Timer() {
    if (is_check_mark(cronometro_caption())) {
        // A tick handled while a check waits for a child process finds the
        // mark too; it must not start a second check inside the first.
        if (!check_in_progress_) {
            run_update_check();
        }
        return;
    }
    avancar_cronometro();
}

void Form1::avancar_cronometro() { set_cronometro_caption(advanced_clock(cronometro_caption())); }

void Form1::run_update_check() {
    struct InProgress {
        bool& flag;
        explicit InProgress(bool& f) : flag(f) { flag = true; }
        ~InProgress() { flag = false; }
    } in_progress(check_in_progress_);
    try {
        verificar_atualizacao();
    } catch (const std::exception& error) {
        // Nobody watches update mode and a message box would stall the
        // schedule: a failed check (no connection, no installed marker) is
        // abandoned and the next one comes after the clock has run again.
        set_cronometro_caption(kClockStart);
        operator_log::check_failed(error);
    }
}
