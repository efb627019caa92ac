// WinINet subset over libcurl: written with the transport.
#pragma once

#include <windows.h>

typedef void* HINTERNET;

