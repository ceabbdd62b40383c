#include "platform/posix/console/code_page.h"

#include "platform/posix/core/machine.h"
#include "platform/posix/registry/store/registry_store.h"

#include <errno.h>
#include <iconv.h>
#include <locale.h>
#include <stdlib.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <map>

namespace ovlayer {

namespace {

const unsigned kDefaultCodePage = 1252;

unsigned& CachedCodePage() {
    static unsigned codePage = 0;
    return codePage;
}

void ForgetCodePage() {
    CachedCodePage() = 0;
}

unsigned ReadCodePage() {
    RegistryStore& store = RegistryStore::Get();
    if (store.Status() != 0) {
        return kDefaultCodePage;
    }
    std::shared_ptr<RegKey> key =
        store.Tree().Find("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\CodePage");
    const RegValue* value = key ? key->Value("ACP") : nullptr;
    if (!value || value->type != REG_SZ) {
        return kDefaultCodePage;
    }
    const unsigned long codePage = strtoul(value->data.c_str(), nullptr, 10);
    return codePage ? static_cast<unsigned>(codePage) : kDefaultCodePage;
}

// glibc's name for a Windows code page.
std::string IconvName(unsigned codePage) {
    return codePage == 950 ? "BIG5" : "CP" + std::to_string(codePage);
}

// `unitSize` is the size of one input character to skip when it cannot be converted.
std::string Convert(const std::string& text, const char* from, unsigned codePage,
                    size_t (*unitSize)(const char*, size_t)) {
    iconv_t converter = iconv_open(IconvName(codePage).c_str(), from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        converter = iconv_open("CP1252", from);
    }
    std::string out;
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* put = buffer;
        size_t putLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &put, &putLeft);
        out.append(buffer, static_cast<size_t>(put - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            out.push_back('?');
            const size_t skip = std::min(inLeft, unitSize(in, inLeft));
            in += skip;
            inLeft -= skip;
        }
    }
    iconv_close(converter);
    return out;
}

size_t Utf16Unit(const char* at, size_t left) {
    const unsigned unit = static_cast<unsigned char>(at[0]) | static_cast<unsigned char>(at[1])
                                                                  << 8;
    return left >= 4 && unit >= 0xD800 && unit < 0xDC00 ? 4 : 2;
}

size_t Utf8Unit(const char* at, size_t) {
    const unsigned char lead = static_cast<unsigned char>(*at);
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// One character of the code page as a Unicode code point; 0 when the code page has none there.
unsigned CodePointOf(iconv_t toUnicode, unsigned char byte) {
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[4] = {};
    char* inPointer = in;
    char* outPointer = reinterpret_cast<char*>(out);
    size_t inLeft = 1;
    size_t outLeft = sizeof out;
    if (iconv(toUnicode, &inPointer, &inLeft, &outPointer, &outLeft) == static_cast<size_t>(-1) ||
        outLeft != 0) {
        return 0;
    }
    return out[0] | out[1] << 8 | out[2] << 16 | static_cast<unsigned>(out[3]) << 24;
}

// The code page's byte for a code point; `fallback` when it has none or needs two bytes.
unsigned char ByteOf(iconv_t fromUnicode, unsigned codePoint, unsigned char fallback) {
    unsigned char in[4] = {
        static_cast<unsigned char>(codePoint), static_cast<unsigned char>(codePoint >> 8),
        static_cast<unsigned char>(codePoint >> 16), static_cast<unsigned char>(codePoint >> 24)};
    char out[4];
    char* inPointer = reinterpret_cast<char*>(in);
    char* outPointer = out;
    size_t inLeft = sizeof in;
    size_t outLeft = sizeof out;
    if (iconv(fromUnicode, &inPointer, &inLeft, &outPointer, &outLeft) == static_cast<size_t>(-1) ||
        sizeof out - outLeft != 1) {
        return fallback;
    }
    return static_cast<unsigned char>(out[0]);
}

using CaseTable = std::array<unsigned char, 256>;

// Unicode's upper case (glibc's C.UTF-8 tables) taken back into the code page, byte by byte.
CaseTable MakeCaseTable(unsigned codePage) {
    CaseTable table;
    for (unsigned byte = 0; byte < table.size(); ++byte) {
        table[byte] = static_cast<unsigned char>(byte >= 'a' && byte <= 'z' ? byte - 32 : byte);
    }
    const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    const iconv_t toUnicode = iconv_open("UCS-4LE", IconvName(codePage).c_str());
    const iconv_t fromUnicode = iconv_open(IconvName(codePage).c_str(), "UCS-4LE");
    const iconv_t failed = reinterpret_cast<iconv_t>(-1);
    if (unicode != static_cast<locale_t>(0) && toUnicode != failed && fromUnicode != failed) {
        for (unsigned byte = 0x80; byte < table.size(); ++byte) {
            const unsigned char c = static_cast<unsigned char>(byte);
            if (IsLeadByte(codePage, c)) {
                continue;
            }
            const unsigned codePoint = CodePointOf(toUnicode, c);
            if (codePoint != 0) {
                table[byte] = ByteOf(fromUnicode, towupper_l(codePoint, unicode), c);
            }
        }
    }
    if (toUnicode != failed) {
        iconv_close(toUnicode);
    }
    if (fromUnicode != failed) {
        iconv_close(fromUnicode);
    }
    if (unicode != static_cast<locale_t>(0)) {
        freelocale(unicode);
    }
    return table;
}

} // namespace

unsigned char UpperCaseByte(unsigned codePage, unsigned char byte) {
    if (byte < 0x80) {
        return static_cast<unsigned char>(byte >= 'a' && byte <= 'z' ? byte - 32 : byte);
    }
    static std::map<unsigned, CaseTable> tables;
    auto it = tables.find(codePage);
    if (it == tables.end()) {
        it = tables.emplace(codePage, MakeCaseTable(codePage)).first;
    }
    return it->second[byte];
}

unsigned MachineCodePage() {
    unsigned& codePage = CachedCodePage();
    if (codePage == 0) {
        OnMachineChange(&ForgetCodePage);
        codePage = ReadCodePage();
    }
    return codePage;
}

bool IsDoubleByteCodePage(unsigned codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

bool IsLeadByte(unsigned codePage, unsigned char byte) {
    if (codePage == 932) {
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    }
    return IsDoubleByteCodePage(codePage) && byte >= 0x81 && byte <= 0xFE;
}

std::string Utf16ToCodePage(const std::string& utf16le, unsigned codePage) {
    return Convert(utf16le.substr(0, utf16le.size() & ~static_cast<size_t>(1)), "UTF-16LE",
                   codePage, Utf16Unit);
}

std::string Utf8ToCodePage(const std::string& utf8, unsigned codePage) {
    return Convert(utf8, "UTF-8", codePage, Utf8Unit);
}

} // namespace ovlayer
