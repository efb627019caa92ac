// The C runtime's thread start.
#pragma once

#include <windows.h>

extern "C" {
// Starts a detached thread running start(argument). Returns -1 on failure.
uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* argument);
}
