// The keep-or-erase questions about the user's data.
#pragma once

// Discards what was typed ahead (the line end after the previous answer), prints each of the
// `count` lines with its own printf and reads one character: 1 when it is N or n (erase), 0 for
// every other answer and for the end of input. The removal log records the answer to `what`.
int AskKeepOrErase(const char* const* lines, int count, const char* what);
