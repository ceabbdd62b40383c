// Only an answer typed after its question appears counts: a line typed ahead, however long, and
// whatever is waiting on standard input when the question comes are discarded, whether the input
// is a pipe or a file. Played on every build.
#include "userdata/console_answer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/machine_files.h"
#include "tests/support/user_data_registry.h"
#include "userdata/media_database.h"

namespace {

// Lines of "N" beyond what the runtime reads at a time.
std::string ManyErasingLines() {
    std::string lines;
    for (int i = 0; i < 3000; ++i) {
        lines += "N\n";
    }
    return lines;
}

TEST(ConsoleAnswer, ALongLineAndTheLinesWaitingBehindItAnswerNothing) {
    const std::string longLine = "Y" + std::string(65536, 'N') + "\n";
    testsupport::Console console("x\n", longLine + ManyErasingLines());
    EXPECT_EQ('Y', ReadAnswer());
    EXPECT_EQ(0, AskEraseDatabase()) << "the x typed after the question is the answer";
}

TEST(ConsoleAnswer, AFileGivenAsInputIsAllTypedAhead) {
    FILE* answers = tmpfile();
    ASSERT_NE(nullptr, answers);
    const std::string typed = "Y\n" + ManyErasingLines();
    ASSERT_EQ(typed.size(), fwrite(typed.data(), 1, typed.size(), answers));
    rewind(answers);
    const int saved = testsupport::CopyDescriptor(0);
    testsupport::MoveDescriptor(testsupport::CopyDescriptor(fileno(answers)), 0);
    testsupport::ResetStandardInput();
    EXPECT_EQ('Y', ReadAnswer());
    DiscardTypedAhead();
    EXPECT_EQ(0, ReadAnswer()) << "the end of input, which keeps";
    testsupport::MoveDescriptor(saved, 0);
    testsupport::ResetStandardInput();
    fclose(answers);
}

} // namespace
