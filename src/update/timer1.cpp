// The tick of Timer1: at the check mark the update check runs; otherwise
// the clock advances one second.
#include "shell/form1.h"
#include "update/elapsed_clock.h"

void Form1::Timer1_Timer() {
    if (is_check_mark(cronometro_caption())) {
        verificar_atualizacao();
        return;
    }
    avancar_cronometro();
}

void Form1::avancar_cronometro() { set_cronometro_caption(advanced_clock(cronometro_caption())); }
