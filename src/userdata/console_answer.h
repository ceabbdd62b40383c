// The answers typed at the console: one character each, read with scanf and "%c", and what was
// typed ahead of a question discarded before it is asked, so that only an answer typed after the
// question appears counts.
#pragma once

// Reads one character with scanf and "%c"; 0 when nothing could be read (the end of input).
// The rest of its line is read and dropped, up to its line end however long it is (waiting for
// it when it has not come yet): it is no answer to anything.
char ReadAnswer();

// Discards what was typed ahead of the next question: what the runtime has read ahead (fflush),
// and whatever is waiting on standard input now: a console's input buffer, the bytes in a pipe,
// the rest of a file. The end of input stays the end of input.
void DiscardTypedAhead();
