// The layer's REGEDIT4 reader on any text: it never reads out of bounds, and whatever it accepts,
// written back by the layer, reads again as the same registry.
#include "fuzz/fuzz_input.h"
#include "platform/posix/registry/store/registry_text.h"

using namespace ovlayer;

namespace {

std::string Reread(const std::string& text) {
    std::vector<RegOp> ops;
    RegTextFormat format;
    RegTextError error;
    if (!ParseRegText(text, &ops, &format, &error)) {
        fprintf(stderr, "line %d: %s\n", error.line, error.message.c_str());
        fuzzing::Fault("the written registry does not read back");
    }
    RegistryTree tree;
    tree.Apply(ops);
    return WriteRegText(tree);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<RegOp> ops;
    RegTextFormat format;
    RegTextError error;
    if (!ParseRegText(text, &ops, &format, &error)) {
        if (error.message.empty()) {
            fuzzing::Fault("a fault without a message");
        }
        return 0;
    }
    RegistryTree tree;
    tree.Apply(ops);
    const std::string written = WriteRegText(tree);
    if (Reread(written) != written) {
        fuzzing::Fault("the written registry changes when read back");
    }
    return 0;
}
