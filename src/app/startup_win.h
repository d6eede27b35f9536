#pragma once

namespace velko {

// The whole life of the program on the main thread: start-up, the window, the message loop.
void run_program();

}  // namespace velko
