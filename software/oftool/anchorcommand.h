#ifndef OFTOOL_ANCHORCOMMAND_H
#define OFTOOL_ANCHORCOMMAND_H

/** "oftool anchor": sets a letter's baseLine and rightLine inside an OF font file; returns the exit status. */
int runAnchor(int argc, char **argv);

#endif // OFTOOL_ANCHORCOMMAND_H
