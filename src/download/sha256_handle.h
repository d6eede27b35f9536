#pragma once
// THROW-AWAY local stub until the download store lands.
#include <windows.h>
#include <expected>
#include <string>
namespace velko {
std::expected<std::string, std::string> sha256_of_open_file(HANDLE file);
}
