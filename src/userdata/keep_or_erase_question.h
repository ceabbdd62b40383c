// The keep-or-erase questions about the user's data.
#pragma once

// Discards what was typed ahead (console_answer.h: the rest of the previous answer's line and
// everything waiting on standard input), prints each of the
// `count` lines with its own printf and reads one character: 1 when it is N or n (erase), 0 for
// every other answer and for the end of input. The removal log records the answer to `what`.
int AskKeepOrErase(const char* const* lines, int count, const char* what);
