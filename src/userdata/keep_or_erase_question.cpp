#include "userdata/keep_or_erase_question.h"

#include "platform/win32api.h"
#include "userdata/console_answer.h"
#include "support/removal_log.h"

#include <cctype>

int AskKeepOrErase(const char* const* lines, int count, const char* what) {
    DiscardTypedAhead();
    for (int i = 0; i < count; ++i) {
        printf("%s", lines[i]);
    }
    const char answer = ReadAnswer();
    const int erase = toupper(static_cast<unsigned char>(answer)) == 'N' ? 1 : 0;
    LogAnswer(what, answer, erase ? "erase" : "keep");
    return erase;
}
