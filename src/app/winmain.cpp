#include <windows.h>

#include "window/win32/Main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return quenvor::window::win32::Main(); }
