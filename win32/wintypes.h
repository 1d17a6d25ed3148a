// Windows base types and constants that the program and the stand-ins share.
//
// Sizes follow 32-bit Windows where the program or a peer can see them: WPARAM and LPARAM are 32 bits
// wide on the wire, so a negative 16-bit function id widened with its sign stays -25536 there.
#pragma once

#include <cstdint>

namespace win32 {

using BOOL = int;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using WPARAM = std::uint32_t;
using LPARAM = std::int32_t;
// A window handle. The starting window's handle is the number it gave on the command line; windows of
// this program's own toolkit use handles the toolkit hands out.
using HWND = std::uintptr_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr int MAX_PATH = 260;

// Message box styles.
inline constexpr UINT MB_OK = 0x00;
inline constexpr UINT MB_OKCANCEL = 0x01;
inline constexpr UINT MB_YESNOCANCEL = 0x03;
inline constexpr UINT MB_YESNO = 0x04;
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_TYPEMASK = 0x0F;
inline constexpr UINT MB_ICONMASK = 0xF0;

// Dialog and message box results.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

}  // namespace win32
