// quillrec_driver --compare A B [--out FOLDER] [--width PIXELS]
#ifndef QUILLREC_COMPARE_COMMAND_H
#define QUILLREC_COMPARE_COMMAND_H

// The arguments after --compare; returns the exit status: 0 the same, 1
// different, 2 bad input or command line.
int CompareCommand(int argc, char **argv);

#endif
