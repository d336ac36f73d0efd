#pragma once

namespace quenvor::window::win32 {

// The program with its Win32 window: runs until the window closes or Quit ends it.
int Main();

}  // namespace quenvor::window::win32
