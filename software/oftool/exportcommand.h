#ifndef OFTOOL_EXPORTCOMMAND_H
#define OFTOOL_EXPORTCOMMAND_H

/** "oftool export": writes every picture of an OF font file as a PNG file; returns the exit status. */
int runExport(int argc, char **argv);

#endif // OFTOOL_EXPORTCOMMAND_H
