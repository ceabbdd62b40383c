#include "platform/posix/console/code_page.h"

#include "platform/posix/core/machine.h"
#include "platform/posix/registry/store/registry_store.h"

#include <errno.h>
#include <iconv.h>
#include <stdlib.h>

#include <algorithm>

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

} // namespace

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
