#pragma once
// Standard input, output and error are descriptors 0, 1 and 2 whether or
// not they are open: a program started with one of them closed would give
// that number to the next file it opens, and its messages would then be
// written into that file (a card, a stream, a socket). Called first thing
// in main, before anything else is opened.

namespace tscard {

// Opens /dev/null on each of the three that is closed. False when one of
// them could not be opened (the caller then ends at once).
bool KeepStandardStreamsOpen();

}  // namespace tscard
