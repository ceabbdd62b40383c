#include "platform/win32api.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A stream reading a pipe, as stdin does when the program's answers come from another program.
struct PipeInput {
    PipeInput() {
        int ends[2];
        if (pipe(ends) == 0) {
            stream = fdopen(ends[0], "r");
            writeEnd = ends[1];
        }
    }
    ~PipeInput() {
        if (stream != nullptr) {
            fclose(stream);
        }
        close(writeEnd);
    }
    void Type(const char* text) {
        ASSERT_EQ(ssize_t(strlen(text)), write(writeEnd, text, strlen(text)));
    }

    FILE* stream = nullptr;
    int writeEnd = -1;
};

TEST(Console, FlushingAnInputStreamDiscardsWhatWasReadAhead) {
    PipeInput input;
    ASSERT_NE(nullptr, input.stream);
    input.Type("Y\nN\n");
    EXPECT_EQ('Y', fgetc(input.stream));
    EXPECT_EQ(0, fflush(input.stream));
    input.Type("n\n");
    EXPECT_EQ('n', fgetc(input.stream));
    EXPECT_EQ(0, fflush(input.stream));
    input.Type("x");
    char answer = 0;
    EXPECT_EQ(1, fscanf(input.stream, "%c", &answer));
    EXPECT_EQ('x', answer);
}

TEST(Console, FlushingAnOutputStreamStillWrites) {
    FILE* file = tmpfile();
    ASSERT_NE(nullptr, file);
    ASSERT_EQ(5, fprintf(file, "hello"));
    EXPECT_EQ(0, fflush(file));
    char written[8] = {};
    EXPECT_EQ(5, pread(fileno(file), written, sizeof written, 0));
    EXPECT_STREQ("hello", written);
    fclose(file);
}

} // namespace
