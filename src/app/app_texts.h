#pragma once

#include <string_view>

// The application's own message texts and captions (UTF-8).
namespace lantorvix::texts {

inline constexpr std::string_view kCaption = "Lantorvix";
inline constexpr std::string_view kAlreadyRunning =
    "A Lantorvix.exe már fut!\r\n\r\nA programot nem lehet több példányban indítani!\r\n";
inline constexpr std::string_view kPortOpenError = "Hiba a port nyitásakor!";
inline constexpr std::string_view kConfirmExit = "Biztosan ki akar lépni?";
inline constexpr std::string_view kNoPortConfirm = "Nem adott meg portot!\r\nBiztos menteni akar?";
inline constexpr std::string_view kAutostartWriteError = "Hiba a regisztrációs adatbázis írásakor!";

} // namespace lantorvix::texts
