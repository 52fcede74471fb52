// Local address discovery through Windows Sockets 1.1.
#pragma once

#include <string>

// The PC's IPv4 address as dotted text: the first address that a lookup of
// the PC's own host name returns. Every failure is shown in a message box;
// a failure before the address was read gives the empty text.
std::wstring obter_ip_local();

// Starts Windows Sockets and checks the granted record; false (after its
// message box) when Sockets cannot be used.
bool iniciar_sockets();

// Cleans Windows Sockets up; a failure is shown in a message box.
void encerrar_sockets();
