#pragma once

#include <windows.h>

#include <expected>
#include <string>

namespace velko::win {

inline constexpr char kOwnImageReplacedText[] = "本程序文件已被移动或替换。";

// The running program's own executable file, held open for the life of the process.
//
// A running program's file can be renamed and another file put at its path, which from then
// on names that other file. So the file is opened once, for reading, shared for reading and
// deleting only (from then on nobody can write it; a rename moves the name, not these bytes), and
// checked to be the very file the program's image was mapped from; whatever needs the program's
// bytes reads them through this handle, never by path.
//
// The first call opens it: start-up makes that call before any other thread runs. Every later
// call, from any thread, gives the same handle, or the same failure text: "打开本程序文件失败：
// {error}", "校验本程序文件失败：{error}", or kOwnImageReplacedText when the file at the
// program's path is not the one it runs from. The handle's file position is shared by every
// caller: read with the offset given (ReadFile with an OVERLAPPED offset).
std::expected<HANDLE, std::string> own_image_file();

}  // namespace velko::win
