#pragma once

#include <windows.h>
#include <objbase.h>

namespace velko::win {

// A single-threaded COM apartment on the calling thread for the scope. Every successful
// initialisation (also the one that finds the apartment already there) is balanced; one that
// failed is not, and result() says why.
class ComApartment {
 public:
  explicit ComApartment(DWORD flags = COINIT_APARTMENTTHREADED) : result_(::CoInitializeEx(nullptr, flags)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace velko::win
