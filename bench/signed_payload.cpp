// What the download benchmark signs and pads to the package's size as its "workbench installer":
// a library, so that starting it fails right after the preparation's last check, and the bench
// times everything the product does before a signed installer runs without running one.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
