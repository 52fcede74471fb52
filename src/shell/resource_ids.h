#pragma once

// Shared by the resource script and the code.
#define kProgramIconId 1
