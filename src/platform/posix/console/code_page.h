// The machine's ANSI code page: HKLM "System\CurrentControlSet\Control\Nls\CodePage" value
// "ACP", read once per machine, and conversions of text into it.
#pragma once

#include <string>

namespace ovlayer {

unsigned MachineCodePage();

// Code pages 932, 936, 949 and 950 have double-byte characters.
bool IsDoubleByteCodePage(unsigned codePage);
bool IsLeadByte(unsigned codePage, unsigned char byte);

// The upper-case form of a single-byte character of the code page, as Windows compares file
// names: "é" and "É" (0xE9, 0xC9 on code page 1252) are one letter. A character without a
// single-byte upper-case form in the code page stays as it is.
unsigned char UpperCaseByte(unsigned codePage, unsigned char byte);

// Text in UTF-16LE or UTF-8 in the given code page; a character it lacks becomes '?', as the
// Windows conversion writes it.
std::string Utf16ToCodePage(const std::string& utf16le, unsigned codePage);
std::string Utf8ToCodePage(const std::string& utf8, unsigned codePage);

} // namespace ovlayer
