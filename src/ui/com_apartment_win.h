#pragma once

namespace velko {

// COM on the window thread, set up only when something first needs it (a reader asking for the
// accessible object, the taskbar button's progress): start-up itself starts no COM. Once entered
// the apartment stays for the life of the thread; the window thread ends with the process.
// Returns false when COM cannot be initialised (then the caller does without).
bool enter_window_thread_apartment();
bool window_thread_apartment_entered();

}  // namespace velko
