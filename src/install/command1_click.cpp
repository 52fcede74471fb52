// The click on "Instalar"; the installation sequence comes with the
// installation pipeline.
#include "shell/form1.h"

void Form1::Command1_Click() {}
