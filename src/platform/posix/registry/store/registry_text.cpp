#include "platform/posix/registry/store/registry_text.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

namespace ovlayer {

namespace {

const char kRegedit4[] = "REGEDIT4";
const char kVersion5[] = "Windows Registry Editor Version 5.00";
// The line after a section that makes its key a link key.
const char kLinkMark[] = ";link";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string TrimRight(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(0, end);
}

size_t SkipBlanks(const std::string& text, size_t at) {
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return at;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads a run of hex digits (at most `maxDigits`) as a number; false when there is none.
bool ReadHexNumber(const std::string& text, size_t* at, size_t maxDigits, unsigned long* value) {
    size_t digits = 0;
    *value = 0;
    while (*at < text.size() && HexDigit(text[*at]) >= 0) {
        if (++digits > maxDigits) {
            return false;
        }
        *value = *value * 16 + static_cast<unsigned long>(HexDigit(text[(*at)++]));
    }
    return digits > 0;
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
    const size_t length = strlen(prefix);
    return text.size() - at >= length && strncasecmp(text.c_str() + at, prefix, length) == 0;
}

class Parser {
public:
    using Converter = std::function<std::string(const std::string&)>;
    using Sink = std::function<void(const RegOp&)>;
    Parser(const std::string& text, const Sink& take, RegTextError* error,
           const Converter& unicodeText)
        : text_(text), take_(take), error_(error), unicodeText_(unicodeText) {}

    bool Run(RegTextFormat* format) {
        std::string line;
        if (!NextLine(&line)) {
            return Fail("the file is empty; a registry file begins with REGEDIT4");
        }
        line = TrimRight(line);
        if (line == kRegedit4) {
            *format = RegTextFormat::kRegedit4;
        } else if (line == kVersion5) {
            *format = RegTextFormat::kVersion5;
            version5_ = true;
        } else {
            return Fail("the first line is not REGEDIT4");
        }
        while (NextLine(&line)) {
            if (!ParseLine(line)) {
                return false;
            }
        }
        return true;
    }

private:
    bool NextLine(std::string* line) {
        if (at_ >= text_.size()) {
            return false;
        }
        size_t end = text_.find('\n', at_);
        if (end == std::string::npos) {
            end = text_.size();
        }
        size_t stop = end;
        if (stop > at_ && text_[stop - 1] == '\r') {
            --stop;
        }
        line->assign(text_, at_, stop - at_);
        at_ = end + 1;
        ++line_;
        return true;
    }

    bool Fail(const std::string& message) {
        error_->line = line_;
        error_->message = message;
        return false;
    }

    bool ParseLine(const std::string& line) {
        const size_t at = SkipBlanks(line, 0);
        if (at < line.size() && line[at] == ';' && TrimRight(line.substr(at)) == kLinkMark) {
            return ParseLinkMark();
        }
        if (at == line.size() || line[at] == ';' || line[at] == '#') {
            return true;
        }
        if (line[at] == '[') {
            return ParseSection(TrimRight(line.substr(at)));
        }
        if (line[at] == '"' || line[at] == '@') {
            return ParseValue(line, at);
        }
        return Fail("expected a [key] or a \"value\"=data line");
    }

    bool ParseSection(const std::string& line) {
        if (line.back() != ']') {
            return Fail("the key name has no closing ]");
        }
        std::string path = line.substr(1, line.size() - 2);
        const bool remove = !path.empty() && path[0] == '-';
        if (remove) {
            path.erase(0, 1);
        }
        const size_t slash = path.find('\\');
        RootId root;
        bool classes;
        if (!ParseRootName(path.substr(0, slash), &root, &classes)) {
            return Fail("unknown root key \"" + path.substr(0, slash) + "\"");
        }
        if (slash != std::string::npos &&
            (slash + 1 == path.size() || path.find("\\\\") != std::string::npos ||
             path.back() == '\\')) {
            return Fail("empty key name in \"" + path + "\"");
        }
        if (!WithinLimits(path, slash, classes)) {
            return false;
        }
        section_ = path;
        inDeletedSection_ = remove;
        RegOp op;
        op.kind = remove ? RegOp::kDeleteTree : RegOp::kCreateKey;
        op.key = path;
        take_(op);
        return true;
    }

    // The key of the section is a link key: regedit reads the mark as a comment and makes a
    // plain key holding the link's value.
    bool ParseLinkMark() {
        if (section_.empty()) {
            return Fail("a link mark before the first [key]");
        }
        if (!inDeletedSection_) {
            RegOp op;
            op.kind = RegOp::kCreateLink;
            op.key = section_;
            take_(op);
        }
        return true;
    }

    // Windows' limits on a key's names and depth; HKEY_CLASSES_ROOT lies two levels down.
    bool WithinLimits(const std::string& path, size_t slash, bool classes) {
        size_t depth = classes ? 2 : 0;
        for (size_t at = slash; at != std::string::npos; ++depth) {
            const size_t next = path.find('\\', at + 1);
            const size_t length = (next == std::string::npos ? path.size() : next) - at - 1;
            if (length > kMaxKeyNameLength) {
                return Fail("a key name longer than " + std::to_string(kMaxKeyNameLength) +
                            " characters");
            }
            at = next;
        }
        return depth <= kMaxKeyDepth ||
               Fail("a key deeper than " + std::to_string(kMaxKeyDepth) + " levels");
    }

    // A quoted text from its opening quote; `at` ends past the closing quote.
    bool ReadQuoted(const std::string& line, size_t* at, std::string* out) {
        out->clear();
        for (size_t i = *at + 1; i < line.size(); ++i) {
            char c = line[i];
            if (c == '"') {
                *at = i + 1;
                return true;
            }
            if (c == '\\' && i + 1 < line.size()) {
                const char next = line[++i];
                switch (next) {
                case '\\':
                case '"':
                    c = next;
                    break;
                case 'n':
                    c = '\n';
                    break;
                case 'r':
                    c = '\r';
                    break;
                default: // regedit keeps a backslash that escapes nothing
                    out->push_back('\\');
                    c = next;
                    break;
                }
            }
            out->push_back(c);
        }
        return false;
    }

    bool ParseValue(const std::string& line, size_t at) {
        if (section_.empty()) {
            return Fail("a value before the first [key]");
        }
        RegOp op;
        op.key = section_;
        if (line[at] == '@') {
            ++at;
        } else if (!ReadQuoted(line, &at, &op.name)) {
            return Fail("the value name has no closing quote");
        }
        at = SkipBlanks(line, at);
        if (at == line.size() || line[at] != '=') {
            return Fail("expected = after the value name");
        }
        at = SkipBlanks(line, at + 1);
        if (!ParseData(line, at, &op)) {
            return false;
        }
        if (!inDeletedSection_) { // regedit ignores the values of a deleted key
            take_(op);
        }
        return true;
    }

    bool ParseData(const std::string& line, size_t at, RegOp* op) {
        if (TrimRight(line.substr(at)) == "-") {
            op->kind = RegOp::kDeleteValue;
            return true;
        }
        op->kind = RegOp::kSetValue;
        if (at < line.size() && line[at] == '"') {
            op->type = REG_SZ;
            if (!ReadQuoted(line, &at, &op->data)) {
                return Fail("the text has no closing quote");
            }
            op->data.push_back('\0');
            return SkipBlanks(line, at) == line.size() || Fail("text after the closing quote");
        }
        if (StartsWithNoCase(line, at, "dword:")) {
            at += 6;
            unsigned long number;
            if (!ReadHexNumber(line, &at, 8, &number) || SkipBlanks(line, at) != line.size()) {
                return Fail("a dword needs 1 to 8 hex digits");
            }
            op->type = REG_DWORD;
            for (int shift = 0; shift < 32; shift += 8) {
                op->data.push_back(static_cast<char>((number >> shift) & 0xFF));
            }
            return true;
        }
        if (StartsWithNoCase(line, at, "hex")) {
            return ParseHex(line, at + 3, op);
        }
        return Fail("unknown kind of data (expected \"text\", dword:, hex: or hex(n):)");
    }

    bool ParseHex(const std::string& line, size_t at, RegOp* op) {
        op->type = REG_BINARY;
        if (at < line.size() && line[at] == '(') {
            ++at;
            unsigned long type;
            if (!ReadHexNumber(line, &at, 8, &type) || at >= line.size() || line[at] != ')') {
                return Fail("hex(n) needs a hex type number");
            }
            op->type = static_cast<DWORD>(type);
            ++at;
        }
        if (at >= line.size() || line[at] != ':') {
            return Fail("expected : after hex");
        }
        std::string bytes = TrimRight(line.substr(at + 1));
        while (!bytes.empty() && bytes.back() == '\\') {
            bytes.pop_back();
            std::string next;
            if (!NextLine(&next)) {
                return Fail("the hex data goes on past the end of the file");
            }
            bytes += TrimRight(next.substr(SkipBlanks(next, 0)));
        }
        if (!ParseHexBytes(bytes, &op->data)) {
            return false;
        }
        const DWORD type = op->type;
        if (version5_ && unicodeText_ &&
            (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)) {
            op->data = unicodeText_(op->data);
        }
        return true;
    }

    bool ParseHexBytes(const std::string& bytes, std::string* data) {
        size_t at = SkipBlanks(bytes, 0);
        while (at < bytes.size()) {
            unsigned long byte;
            if (!ReadHexNumber(bytes, &at, 2, &byte)) {
                return Fail("bad hex byte in \"" + bytes + "\"");
            }
            data->push_back(static_cast<char>(byte));
            at = SkipBlanks(bytes, at);
            if (at < bytes.size() && bytes[at] != ',') {
                return Fail("hex bytes must be separated by commas");
            }
            at = SkipBlanks(bytes, at + 1);
        }
        return true;
    }

    const std::string& text_;
    const Sink& take_;
    RegTextError* error_;
    size_t at_ = 0;
    int line_ = 0;
    const Converter& unicodeText_;
    std::string section_;
    bool inDeletedSection_ = false;
    bool version5_ = false;
};

void AppendQuoted(const std::string& text, std::string* out) {
    out->push_back('"');
    for (char c : text) {
        switch (c) {
        case '\\':
        case '"':
            out->push_back('\\');
            out->push_back(c);
            break;
        case '\n':
            out->append("\\n");
            break;
        case '\r':
            out->append("\\r");
            break;
        default:
            out->push_back(c);
        }
    }
    out->push_back('"');
}

bool IsPlainText(const RegValue& value) {
    const std::string& data = value.data;
    return value.type == REG_SZ && !data.empty() && data.find('\0') == data.size() - 1 &&
           data.find_first_of("\r\n") == std::string::npos;
}

// regedit's layout: lines of at most about 80 columns, continued with a backslash.
void AppendHex(const RegValue& value, size_t column, std::string* out) {
    static const char kDigits[] = "0123456789abcdef";
    char type[16];
    if (value.type == REG_BINARY) {
        snprintf(type, sizeof type, "hex:");
    } else {
        snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
    }
    out->append(type);
    column += strlen(type);
    for (size_t i = 0; i < value.data.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(value.data[i]);
        out->push_back(kDigits[byte >> 4]);
        out->push_back(kDigits[byte & 15]);
        column += 2;
        if (i + 1 < value.data.size()) {
            out->push_back(',');
            ++column;
            if (column > 76) {
                out->append("\\\n  ");
                column = 2;
            }
        }
    }
}

void AppendValue(const RegValue& value, std::string* out) {
    const size_t lineStart = out->size();
    if (value.name.empty()) {
        out->push_back('@');
    } else {
        AppendQuoted(value.name, out);
    }
    out->push_back('=');
    if (IsPlainText(value)) {
        AppendQuoted(value.data.substr(0, value.data.size() - 1), out);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(value.data.data());
        char number[16];
        snprintf(number, sizeof number, "dword:%08x",
                 bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<unsigned>(bytes[3]) << 24);
        out->append(number);
    } else {
        AppendHex(value, out->size() - lineStart, out);
    }
    out->push_back('\n');
}

// `everyKey`: a section for every key, as regedit exports. Otherwise a key without values gets a
// section only when it has no sub-keys either: a sub-key's section makes its parents again, and
// a deep tree's text then grows with the number of keys that hold something, not with the square
// of its depth.
void WriteKeyAt(const RegKey& key, bool everyKey, std::string* path, std::string* out) {
    const bool named = key.Parent() && (everyKey || key.ChildCount() == 0 || key.IsLink());
    if (named || key.ValueCount() > 0) {
        out->append("[").append(*path).append("]\n");
        if (key.IsLink()) {
            out->append(kLinkMark).append("\n");
        }
        for (size_t i = 0; i < key.ValueCount(); ++i) {
            AppendValue(*key.ValueAt(i), out);
        }
        out->push_back('\n');
    }
    const size_t length = path->size();
    for (size_t i = 0; i < key.ChildCount(); ++i) {
        const std::shared_ptr<RegKey> child = key.ChildAt(i);
        path->append("\\").append(child->Name());
        WriteKeyAt(*child, everyKey, path, out);
        path->resize(length);
    }
}

} // namespace

bool ParseRegText(const std::string& text, std::vector<RegOp>* ops, RegTextFormat* format,
                  RegTextError* error,
                  const std::function<std::string(const std::string&)>& unicodeText) {
    ops->clear();
    return Parser(
               text, [ops](const RegOp& op) { ops->push_back(op); }, error, unicodeText)
        .Run(format);
}

bool ScanRegText(const std::string& text, const std::function<void(const RegOp&)>& take,
                 RegTextFormat* format, RegTextError* error) {
    return Parser(text, take, error, nullptr).Run(format);
}

std::string WriteRegText(const RegistryTree& tree) {
    std::string out = std::string(kRegedit4) + "\n\n";
    for (RootId root : {kCurrentUser, kLocalMachine, kUsers}) {
        std::string path = RootName(root);
        WriteKeyAt(*tree.Root(root), false, &path, &out);
    }
    return out;
}

void WriteRegKey(const RegKey& key, const std::string& path, std::string* out) {
    std::string walked = path;
    WriteKeyAt(key, true, &walked, out);
}

} // namespace ovlayer
