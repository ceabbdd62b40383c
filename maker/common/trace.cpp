#include "common/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace maker {

void Trace(const char* library, const std::string& line) {
    const char* path = getenv("OVUNINST_MAKER_TRACE");
    if (path == nullptr || *path == '\0') {
        return;
    }
    if (FILE* file = fopen(path, "ab")) {
        fprintf(file, "%s: %s\n", library, line.c_str());
        fclose(file);
    }
}

bool Switched(const char* word) {
    const char* list = getenv("OVUNINST_MAKER_FAIL");
    if (list == nullptr) {
        return false;
    }
    const size_t length = strlen(word);
    for (const char* p = list; *p != '\0';) {
        const char* end = strchr(p, ',');
        const size_t size = end ? static_cast<size_t>(end - p) : strlen(p);
        if (size == length && strncmp(p, word, length) == 0) {
            return true;
        }
        p += size + (end ? 1 : 0);
    }
    return false;
}

std::string BlockText(const char* block) {
    std::string text;
    for (const char* entry = block; entry != nullptr && *entry != '\0';
         entry += strlen(entry) + 1) {
        if (!text.empty()) {
            text += '|';
        }
        text += entry;
    }
    return text;
}

std::string GuidText(const GUID& id) {
    char text[40];
    snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
             id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

LifetimeTrace::LifetimeTrace(const char* library) : library_(library) {
    Trace(library_, "load");
}

LifetimeTrace::~LifetimeTrace() {
    Trace(library_, "unload");
}

} // namespace maker
