// The update check. Start-up calls it once in update mode and the tick calls
// it at the check mark; the detection itself comes with the update service.
#include "shell/form1.h"

void Form1::verificar_atualizacao() {}
