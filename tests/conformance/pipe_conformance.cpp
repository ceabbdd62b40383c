// Pipes as the program meets them on standard input: what a pipe holds is learnt without taking
// it (PeekNamedPipe), taken with ReadFile, and the end of a pipe whose writer has gone is a
// broken pipe. Checked against the Linux layer and, under Wine, a real Win32.
#include "platform/win32api.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Pipe {
    Pipe() { EXPECT_TRUE(CreatePipe(&read, &write, nullptr, 0)); }
    ~Pipe() {
        CloseWrite();
        CloseHandle(read);
    }
    void CloseWrite() {
        if (write != nullptr) {
            CloseHandle(write);
            write = nullptr;
        }
    }
    HANDLE read = nullptr;
    HANDLE write = nullptr;
};

TEST(PipeConformance, PeekingTellsWhatIsWaitingAndTakesNothing) {
    Pipe pipe;
    EXPECT_EQ(static_cast<DWORD>(FILE_TYPE_PIPE), GetFileType(pipe.read));
    DWORD waiting = 99;
    ASSERT_TRUE(PeekNamedPipe(pipe.read, nullptr, 0, nullptr, &waiting, nullptr));
    EXPECT_EQ(0u, waiting);

    DWORD written = 0;
    ASSERT_TRUE(WriteFile(pipe.write, "abcdefghij", 10, &written, nullptr));
    EXPECT_EQ(10u, written);
    char buffer[16] = {};
    DWORD got = 0;
    ASSERT_TRUE(PeekNamedPipe(pipe.read, buffer, 4, &got, &waiting, nullptr));
    EXPECT_EQ(4u, got);
    EXPECT_EQ(10u, waiting);
    EXPECT_EQ("abcd", std::string(buffer, 4));
    ASSERT_TRUE(ReadFile(pipe.read, buffer, 3, &got, nullptr));
    EXPECT_EQ("abc", std::string(buffer, got));
    ASSERT_TRUE(PeekNamedPipe(pipe.read, nullptr, 0, nullptr, &waiting, nullptr));
    EXPECT_EQ(7u, waiting);
    EXPECT_FALSE(FlushConsoleInputBuffer(pipe.read)) << "a pipe is no console";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(PipeConformance, APipeWhoseWriterHasGoneEndsBroken) {
    Pipe pipe;
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(pipe.write, "last", 4, &done, nullptr));
    pipe.CloseWrite();
    char buffer[16];
    ASSERT_TRUE(ReadFile(pipe.read, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ("last", std::string(buffer, done));
    DWORD waiting = 99;
    EXPECT_FALSE(PeekNamedPipe(pipe.read, nullptr, 0, nullptr, &waiting, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), GetLastError());
    EXPECT_FALSE(ReadFile(pipe.read, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), GetLastError());
    EXPECT_EQ(0u, done);
}

TEST(PipeConformance, WritingToAPipeNobodyReadsFails) {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
    CloseHandle(read);
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(write, "x", 1, &written, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_DATA), GetLastError());
    CloseHandle(write);
}

} // namespace
