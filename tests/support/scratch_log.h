// A removal log of the test's own: TMP names a scratch folder while it lives, the log is opened
// there, and its lines are read back (closing it first). Both builds.
#pragma once

#include <string>
#include <vector>

#include "support/removal_log.h"
#include "support/undo_file.h"
#include "tests/support/machine_files.h"
#include "tests/support/scratch.h"

namespace testsupport {

class ScratchLog {
public:
    ScratchLog() : folder_("C:\\ovlog"), tmp_("TMP", folder_.Path()) { OpenRemovalLog(); }
    ~ScratchLog() { CloseRemovalLog(); }
    ScratchLog(const ScratchLog&) = delete;
    ScratchLog& operator=(const ScratchLog&) = delete;

    std::string Path(const char* name = "ovuninst.log") const { return folder_ / name; }

    // Every line of the log, closed first, without line ends.
    std::vector<std::string> Lines(const char* name = "ovuninst.log") const {
        CloseRemovalLog();
        std::vector<std::string> lines;
        std::string line;
        for (char c : ReadBytes(Path(name))) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else if (c != '\r') {
                line += c;
            }
        }
        return lines;
    }

    // The action lines alone: the header's six lines and the closing five left out.
    std::vector<std::string> Actions() const {
        std::vector<std::string> lines = Lines();
        if (lines.size() < kHeaderLines + kClosingLines) {
            return {"(not a whole log: " + std::to_string(lines.size()) + " lines)"};
        }
        return std::vector<std::string>(lines.begin() + kHeaderLines, lines.end() - kClosingLines);
    }

    static constexpr size_t kHeaderLines = 6;
    static constexpr size_t kClosingLines = 5;

private:
    ScratchFolder folder_;
    ScopedEnvironment tmp_;
};

// A removal log and an undo file of the test's own, in the same folder, as the driver holds them.
class ScratchUndo : public ScratchLog {
public:
    ScratchUndo() { OpenUndoFile(); }
    ~ScratchUndo() { CloseUndoFile(); }

    // The undo file's text, closed first, its line ends read as "\n".
    std::string Text(const char* name = kUndoRegistryName) const {
        CloseUndoFile();
        std::string text;
        for (char c : ReadBytes(Path(name))) {
            if (c != '\r') {
                text += c;
            }
        }
        return text;
    }
};

} // namespace testsupport
