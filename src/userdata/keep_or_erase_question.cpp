#include "userdata/keep_or_erase_question.h"

#include "platform/win32api.h"

#include <cctype>

int AskKeepOrErase(const char* const* lines, int count) {
    fflush(stdin);
    for (int i = 0; i < count; ++i) {
        printf("%s", lines[i]);
    }
    char answer = 0;
    scanf("%c", &answer);
    return toupper(static_cast<unsigned char>(answer)) == 'N' ? 1 : 0;
}
