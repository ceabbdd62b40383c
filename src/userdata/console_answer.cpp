#include "userdata/console_answer.h"

#include "platform/win32api.h"

namespace {

// What standard input holds now beyond the runtime's buffer, which can be far more than the
// runtime reads at a time.
void DiscardWaitingInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return;
    }
    char buffer[4096];
    DWORD got = 0;
    switch (GetFileType(input)) {
    case FILE_TYPE_CHAR:
        FlushConsoleInputBuffer(input); // fails for a device that is no console: nothing waits
        return;
    case FILE_TYPE_PIPE: {
        DWORD waiting = 0;
        // Only what is there: a read of more would wait for the writer.
        while (PeekNamedPipe(input, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0 &&
               ReadFile(input, buffer, waiting < sizeof buffer ? waiting : sizeof buffer, &got,
                        nullptr) &&
               got > 0) {
        }
        return;
    }
    case FILE_TYPE_DISK:
        while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        }
        return;
    default:
        return;
    }
}

} // namespace

char ReadAnswer() {
    char answer = 0;
    if (scanf("%c", &answer) == 1 && answer != '\n') {
        // The rest of the line is no answer, however long: it goes now, so that it cannot
        // answer the next question.
        int c;
        do {
            c = getchar();
        } while (c != '\n' && c != EOF);
    }
    return answer;
}

void DiscardTypedAhead() {
    fflush(stdin);
    DiscardWaitingInput();
}
